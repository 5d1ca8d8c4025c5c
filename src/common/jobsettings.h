#pragma once
#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QSize>
#include <QString>

// The keys an operator works with from behind the tripod: a presenter
// clicker sends PageDown and PageUp, a foot pedal a key of its own.
struct ShotKeySet {
    QList<QKeySequence> shoot{QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_F8)};
    QKeySequence back{Qt::Key_PageUp};
    QKeySequence undo{QKeySequence(Qt::CTRL | Qt::Key_Z)};

    bool operator==(const ShotKeySet& o) const { return shoot == o.shoot && back == o.back && undo == o.undo; }
    bool operator!=(const ShotKeySet& o) const { return !(*this == o); }
};

// What an operator sets up for a job, kept from one start to the next, so
// picture day's second morning starts where the first ended.
struct StationJob {
    QSize size{151, 201};
    QString preset;  // the 照片规格 chosen; empty: the size as typed
    QString sizeLimitKb;  // 大小上限 KB as typed; empty: no limit
    bool captionOn = true;
    QColor captionColour = Qt::black;
    bool headerRow = false;  // 首行为表头
    int photoNameColumn = 0;
    int displayNameColumn = 1;
    bool autoFrame = false;  // 自动取景
    bool photoCheck = false;  // 照片检查
    bool freeShooting = false;
    bool manualNaming = false;
    bool autoSave = false;
    bool keepOriginal = true;  // 保留原图
    bool replaceBackdrop = false;  // 更换背景
    ShotKeySet keys;

    bool operator==(const StationJob& o) const;
    bool operator!=(const StationJob& o) const { return !(*this == o); }
};

namespace jobsettings {

// The job as last kept; the defaults where nothing was kept.
StationJob read();
void write(const StationJob& job);

}  // namespace jobsettings
