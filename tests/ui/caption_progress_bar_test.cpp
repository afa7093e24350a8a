// The progress bar's caption and repaint rules, on a shown bar whose paint events are
// counted, and its colours read back from a rendering.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "service/report/operator_view.h"
#include "ui/caption_progress_bar.h"

namespace plexivar::testing {
namespace {

using ui::CaptionProgressBar;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

class ShownBar {
public:
    explicit ShownBar(int width) {
        bar.resize(width, 22);
        bar.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
        QApplication::processEvents();
    }
    // Paint events caused by `change`.
    int PaintsAfter(const std::function<void(CaptionProgressBar&)>& change) {
        QApplication::processEvents();
        const int before = counter.count;
        change(bar);
        QApplication::processEvents();
        return counter.count - before;
    }
    CaptionProgressBar bar;
    PaintCounter counter{bar};
};

TEST(CaptionProgressBar, CaptionOrPercentage) {
    struct Case {
        int position;
        QString caption;
        QString shown;
        int positionAfterClamp;
    };
    const std::vector<Case> cases = {
        {40, "", "40%", 40},
        {40, "Scanning..", "Scanning..", 40},
        {0, "", "0%", 0},
        {130, "", "100%", 100},
        {-5, "Reconnecting..", "Reconnecting..", 0},
    };
    CaptionProgressBar bar;
    for (const Case& c : cases) {
        bar.SetPosition(c.position);
        bar.SetCaption(c.caption);
        EXPECT_EQ(bar.DisplayText(), c.shown) << c.position;
        EXPECT_EQ(bar.Position(), c.positionAfterClamp);
    }
}

TEST(CaptionProgressBar, RepaintsOnlyWhenWhatIsShownChanges) {
    // 50 pixels wide: every second percent fills one more pixel.
    struct Step {
        const char* what;
        std::function<void(CaptionProgressBar&)> change;
        bool repaint;
    };
    const std::vector<Step> steps = {
        {"caption set", [](CaptionProgressBar& b) { b.SetCaption("Scanning.."); }, true},
        {"same caption again", [](CaptionProgressBar& b) { b.SetCaption("Scanning.."); }, false},
        {"40 -> 41 under a caption: same pixels", [](CaptionProgressBar& b) { b.SetPosition(41); }, false},
        {"41 -> 42 under a caption: one more pixel", [](CaptionProgressBar& b) { b.SetPosition(42); }, true},
        {"caption cleared", [](CaptionProgressBar& b) { b.SetCaption(""); }, true},
        {"42 -> 43 as a percentage: same pixels, new text", [](CaptionProgressBar& b) { b.SetPosition(43); }, true},
        {"43 -> 43", [](CaptionProgressBar& b) { b.SetPosition(43); }, false},
        {"other caption", [](CaptionProgressBar& b) { b.SetCaption("Reconnecting.."); }, true},
    };
    ShownBar shown(50);
    shown.bar.SetPosition(40);
    QApplication::processEvents();
    for (const Step& step : steps)
        EXPECT_EQ(shown.PaintsAfter(step.change) > 0, step.repaint) << step.what;
}

TEST(CaptionProgressBar, FilledPartInHighlightAndTheRestInWindowColour) {
    ShownBar shown(200);
    shown.bar.SetPosition(25);
    shown.bar.SetCaption("");
    const QImage image = shown.bar.grab().toImage();
    const QColor highlight = shown.bar.palette().color(QPalette::Highlight);
    const QColor window = shown.bar.palette().color(QPalette::Base);
    EXPECT_EQ(shown.bar.FilledWidth(), 50);
    EXPECT_EQ(image.pixelColor(2, 2), highlight);
    EXPECT_EQ(image.pixelColor(49, 2), highlight);
    EXPECT_EQ(image.pixelColor(50, 2), window);
    EXPECT_EQ(image.pixelColor(197, 2), window);
    // The caption in the middle is drawn in the highlight colour over the empty part.
    bool textPixel = false;
    for (int x = 80; x < 120; ++x)
        for (int y = 0; y < image.height(); ++y)
            textPixel = textPixel || image.pixelColor(x, y) != window;
    EXPECT_TRUE(textPixel);
}

}  // namespace
}  // namespace plexivar::testing
