#include "jobsettings.h"

#include "stationsettings.h"

#include <QSettings>

namespace {

const QString group = QStringLiteral("job");

QStringList keyTexts(const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& key : keys)
        texts << key.toString(QKeySequence::PortableText);
    return texts;
}

}  // namespace

bool StationJob::operator==(const StationJob& o) const
{
    return size == o.size && preset == o.preset && sizeLimitKb == o.sizeLimitKb && captionOn == o.captionOn &&
           captionColour == o.captionColour && headerRow == o.headerRow && photoNameColumn == o.photoNameColumn &&
           displayNameColumn == o.displayNameColumn && autoFrame == o.autoFrame && photoCheck == o.photoCheck &&
           freeShooting == o.freeShooting && manualNaming == o.manualNaming && autoSave == o.autoSave &&
           keepOriginal == o.keepOriginal && replaceBackdrop == o.replaceBackdrop && keys == o.keys;
}

namespace jobsettings {

StationJob read()
{
    QSettings s = stationsettings::open();
    s.beginGroup(group);
    StationJob job;
    const QSize size = s.value(QStringLiteral("size"), job.size).toSize();
    if (size.isValid() && !size.isEmpty())
        job.size = size;
    job.preset = s.value(QStringLiteral("preset"), job.preset).toString();
    job.sizeLimitKb = s.value(QStringLiteral("sizeLimitKb"), job.sizeLimitKb).toString();
    job.captionOn = s.value(QStringLiteral("captionOn"), job.captionOn).toBool();
    const QColor colour(s.value(QStringLiteral("captionColour"), job.captionColour.name()).toString());
    if (colour.isValid())
        job.captionColour = colour;
    job.headerRow = s.value(QStringLiteral("headerRow"), job.headerRow).toBool();
    job.photoNameColumn = qBound(0, s.value(QStringLiteral("photoNameColumn"), job.photoNameColumn).toInt(), 2);
    job.displayNameColumn = qBound(0, s.value(QStringLiteral("displayNameColumn"), job.displayNameColumn).toInt(), 3);
    job.autoFrame = s.value(QStringLiteral("autoFrame"), job.autoFrame).toBool();
    job.photoCheck = s.value(QStringLiteral("photoCheck"), job.photoCheck).toBool();
    job.freeShooting = s.value(QStringLiteral("freeShooting"), job.freeShooting).toBool();
    job.manualNaming = s.value(QStringLiteral("manualNaming"), job.manualNaming).toBool();
    job.autoSave = s.value(QStringLiteral("autoSave"), job.autoSave).toBool();
    job.keepOriginal = s.value(QStringLiteral("keepOriginal"), job.keepOriginal).toBool();
    job.replaceBackdrop = s.value(QStringLiteral("replaceBackdrop"), job.replaceBackdrop).toBool();
    if (s.contains(QStringLiteral("shootKeys"))) {
        job.keys.shoot.clear();
        for (const QString& text : s.value(QStringLiteral("shootKeys")).toStringList())
            if (const QKeySequence key = QKeySequence::fromString(text, QKeySequence::PortableText); !key.isEmpty())
                job.keys.shoot << key;
        job.keys.back =
            QKeySequence::fromString(s.value(QStringLiteral("backKey")).toString(), QKeySequence::PortableText);
        job.keys.undo =
            QKeySequence::fromString(s.value(QStringLiteral("undoKey")).toString(), QKeySequence::PortableText);
    }
    return job;
}

void write(const StationJob& job)
{
    QSettings s = stationsettings::open();
    s.beginGroup(group);
    s.setValue(QStringLiteral("size"), job.size);
    s.setValue(QStringLiteral("preset"), job.preset);
    s.setValue(QStringLiteral("sizeLimitKb"), job.sizeLimitKb);
    s.setValue(QStringLiteral("captionOn"), job.captionOn);
    s.setValue(QStringLiteral("captionColour"), job.captionColour.name());
    s.setValue(QStringLiteral("headerRow"), job.headerRow);
    s.setValue(QStringLiteral("photoNameColumn"), job.photoNameColumn);
    s.setValue(QStringLiteral("displayNameColumn"), job.displayNameColumn);
    s.setValue(QStringLiteral("autoFrame"), job.autoFrame);
    s.setValue(QStringLiteral("photoCheck"), job.photoCheck);
    s.setValue(QStringLiteral("freeShooting"), job.freeShooting);
    s.setValue(QStringLiteral("manualNaming"), job.manualNaming);
    s.setValue(QStringLiteral("autoSave"), job.autoSave);
    s.setValue(QStringLiteral("keepOriginal"), job.keepOriginal);
    s.setValue(QStringLiteral("replaceBackdrop"), job.replaceBackdrop);
    s.setValue(QStringLiteral("shootKeys"), keyTexts(job.keys.shoot));
    s.setValue(QStringLiteral("backKey"), job.keys.back.toString(QKeySequence::PortableText));
    s.setValue(QStringLiteral("undoKey"), job.keys.undo.toString(QKeySequence::PortableText));
}

}  // namespace jobsettings
