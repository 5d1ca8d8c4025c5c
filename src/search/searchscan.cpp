#include "searchscan.h"

#include <QElapsedTimer>
#include <QTimer>

SearchScan::SearchScan(QObject* parent)
    : QObject(parent)
{
}

void SearchScan::start(int rowCount, bool both, const search::Conditions& conditions, CellReader cell)
{
    cancel();
    rows_ = rowCount;
    next_ = 0;
    both_ = both;
    conditions_ = conditions;
    cell_ = std::move(cell);
    foundRow_ = -1;
    count_ = 0;
    running_ = true;
    step(generation_);
}

void SearchScan::cancel()
{
    ++generation_;
    running_ = false;
}

void SearchScan::step(quint64 generation)
{
    if (generation != generation_)
        return;
    QElapsedTimer slice;
    slice.start();
    // The clock is read every few rows only: reading it costs more than a row.
    constexpr int rowsPerClockRead = 256;
    while (next_ < rows_) {
        const int r = next_++;
        const bool hit = search::rowMatches(conditions_, both_, [&](int column) { return cell_(r, column); });
        if (hit && conditions_.single) {
            foundRow_ = r;
            break;
        }
        if (hit && conditions_.multi) {
            ++count_;
            emit rowMatched(r);
            // A slot may have cancelled or restarted the scan.
            if (generation != generation_)
                return;
        }
        if (next_ % rowsPerClockRead == 0 && slice.elapsed() >= sliceMs_ && next_ < rows_) {
            QTimer::singleShot(0, this, [this, generation] { step(generation); });
            return;
        }
    }
    running_ = false;
    ++generation_;
    emit finished(foundRow_, count_);
}
