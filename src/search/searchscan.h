#pragma once
#include "searchlogic.h"

#include <QObject>

#include <functional>

// One search over the roster rows, run on the GUI thread in slices so that a
// long roster never stalls the window: the first slice runs at once (a class
// list is done before start() returns), the rest follow from the event loop.
// The conditions are taken when the scan starts.
class SearchScan : public QObject {
    Q_OBJECT
public:
    using CellReader = std::function<QString(int row, int column)>;

    explicit SearchScan(QObject* parent = nullptr);

    // Starts a scan of rows 0 .. rowCount-1, dropping one that runs.
    void start(int rowCount, bool both, const search::Conditions& conditions, CellReader cell);
    // Stops a running scan; it reports nothing more.
    void cancel();
    bool running() const { return running_; }

    // How long one slice may take (0: a slice is a few hundred rows).
    void setSliceMs(int ms) { sliceMs_ = ms; }

signals:
    // Multi-item mode: a matching row, in ascending order.
    void rowMatched(int row);
    // The scan has ended; foundRow is the single-item hit or -1, count the
    // multi-item matches.
    void finished(int foundRow, int count);

private:
    void step(quint64 generation);

    int rows_ = 0;
    int next_ = 0;
    bool both_ = false;
    search::Conditions conditions_;
    CellReader cell_;
    int foundRow_ = -1;
    int count_ = 0;
    int sliceMs_ = 15;
    bool running_ = false;
    quint64 generation_ = 0;
};
