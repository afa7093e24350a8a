// The progress bar of the main window: range 0..100 with a caption drawn across it.
//
// The filled part (the position's share of the bar's width, in whole pixels) is painted in
// the highlight colour, the rest in the window colour. The caption is centred on one line
// over the whole bar, in the window colour where it lies over the filled part and in the
// highlight colour elsewhere, so it stays readable wherever the edge falls. An empty
// caption shows the percentage ("40%").
//
// A new position repaints only when the filled width in pixels changes, or when the bar
// shows the percentage and its text changes (on a narrow bar 40% and 41% may fill the same
// pixels); a different caption always repaints.
#pragma once

#include <QString>
#include <QWidget>

namespace plexivar::ui {

class CaptionProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit CaptionProgressBar(QWidget* parent = nullptr);

    // Clamped to 0..100.
    void SetPosition(int percent);
    void SetCaption(const QString& caption);
    int Position() const { return position_; }
    // What the bar shows: the caption, or the percentage when the caption is empty.
    QString DisplayText() const;
    // Width of the filled part in pixels for the current size and position.
    int FilledWidth() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int position_ = 0;
    QString caption_;
    // What the last paint showed; a change of either needs a repaint.
    int paintedFill_ = -1;
    QString paintedText_;
};

}  // namespace plexivar::ui
