// A count bar of the records window: "done of total" on a bar filled to the done share.
#pragma once

#include <QWidget>
#include <cstdint>

class CountBar : public QWidget {
    Q_OBJECT
public:
    explicit CountBar(QWidget* parent = nullptr);

    // Repaints only when a value changed.
    void SetValues(std::int64_t done, std::int64_t total);
    std::int64_t Done() const { return done_; }
    std::int64_t Total() const { return total_; }
    QString Text() const;

    // The filled part of a bar `width` pixels wide: none for a total of 0 or below, the whole
    // bar when done reaches the total, exact for counts of any size.
    static int FilledWidth(int width, std::int64_t done, std::int64_t total);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
};
