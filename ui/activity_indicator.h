// The 14-pixel activity animation of the status bar: a ring of dots whose bright dot turns
// while the spoolers run, standing still while they are stopped.
#pragma once

#include <QTimer>
#include <QWidget>

namespace plexivar::ui {

class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 14;  // pixels, square
    static constexpr int kFrames = 8;
    static constexpr int kFrameMs = 125;

    explicit ActivityIndicator(QWidget* parent = nullptr);

    void SetPlaying(bool playing);
    bool Playing() const { return timer_.isActive(); }
    int Frame() const { return frame_; }

    QSize sizeHint() const override { return {kSize, kSize}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace plexivar::ui
