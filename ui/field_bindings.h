// Controls of a settings dialog bound to the fields of the record they edit: Load puts a
// record's values into the controls, Store takes them back. A check box edits a flag (any
// non-zero value shows checked and comes back as 1), a text field a string (bytes kept when
// left unchanged), a number field an integer or a real.
#pragma once

#include <QCheckBox>
#include <QLineEdit>

#include <string>
#include <vector>

#include "ui/dialog_fields.h"
#include "ui/eight_bit_text.h"

namespace plexivar::ui {

template <class Record>
class FieldBindings {
public:
    QCheckBox* Flag(QCheckBox* box, int Record::*key) {
        flags_.push_back({box, key});
        return box;
    }
    QLineEdit* Text(QLineEdit* field, std::string Record::*key) {
        texts_.push_back({field, key});
        return field;
    }
    QLineEdit* Integer(QLineEdit* field, int Record::*key) {
        integers_.push_back({field, key});
        return field;
    }
    QLineEdit* Real(QLineEdit* field, double Record::*key) {
        reals_.push_back({field, key});
        return field;
    }

    void Load(const Record& record) const {
        for (const auto& b : flags_) b.control->setChecked(record.*b.key != 0);
        for (const auto& b : texts_) SetFieldBytes(b.control, record.*b.key);
        for (const auto& b : integers_) SetInteger(b.control, record.*b.key);
        for (const auto& b : reals_) SetReal(b.control, record.*b.key);
    }
    void Store(Record& record) const {
        for (const auto& b : flags_) record.*b.key = b.control->isChecked() ? 1 : 0;
        for (const auto& b : texts_) record.*b.key = FieldBytes(b.control);
        for (const auto& b : integers_) record.*b.key = ui::Integer(b.control);
        for (const auto& b : reals_) record.*b.key = ui::Real(b.control);
    }
    // The check box bound to `key` (null when none is).
    QCheckBox* CheckFor(int Record::*key) const {
        for (const auto& b : flags_)
            if (b.key == key) return b.control;
        return nullptr;
    }
    const auto& Flags() const { return flags_; }

private:
    template <class Control, class Field>
    struct Binding {
        Control* control;
        Field Record::*key;
    };
    std::vector<Binding<QCheckBox, int>> flags_;
    std::vector<Binding<QLineEdit, std::string>> texts_;
    std::vector<Binding<QLineEdit, int>> integers_;
    std::vector<Binding<QLineEdit, double>> reals_;
};

}  // namespace plexivar::ui
