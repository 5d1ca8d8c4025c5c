#include "photopreset.h"

#include "systemerror.h"
#include "texttoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>

#include <functional>
#include <map>

namespace {

const QString shippedSource = QStringLiteral("内置规格");

// Largest values a file may state: beyond them it is a typing slip.
constexpr int largestSide = 20000;
constexpr int largestDpi = 10000;

// What one line of a presets file can get wrong; its line number is added
// where the file is named.
struct LineError {
    QString text;
};

Result<QSize> sizeValue(const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})\\s*[xX×*]\\s*(\\d{1,5})$"));
    const QRegularExpressionMatch m = pattern.match(value);
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (w < 1 || h < 1 || w > largestSide || h > largestSide)
        return failure(QStringLiteral("尺寸应为 宽x高（像素，1 到 %1），例如 358x441").arg(largestSide));
    return QSize(w, h);
}

Result<int> dpiValue(const QString& value)
{
    bool ok = false;
    const int dpi = value.toInt(&ok);
    if (!ok || dpi < 1 || dpi > largestDpi)
        return failure(QStringLiteral("分辨率应为 1 到 %1 之间的整数（dpi）").arg(largestDpi));
    return dpi;
}

Result<KbRange> kbValue(const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{0,6})\\s*-\\s*(\\d{0,6})$"));
    const QRegularExpressionMatch m = pattern.match(value);
    const QString bad = QStringLiteral("大小应为 最小-最大（KB），一边可空，例如 -60 或 30-");
    if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(2).isEmpty()))
        return failure(bad);
    KbRange range{m.captured(1).toInt(), m.captured(2).toInt()};
    if (range.minKb > largestLimitKb || range.maxKb > largestLimitKb)
        return failure(QStringLiteral("大小不能超过 %1 KB").arg(largestLimitKb));
    if (range.maxKb > 0 && range.minBytes() > range.maxBytes())
        return failure(QStringLiteral("大小的下限 %1 KB 高于上限 %2 KB").arg(range.minKb).arg(range.maxKb));
    return range;
}

Result<QColor> colourValue(const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!pattern.match(value).hasMatch())
        return failure(QStringLiteral("背景应为 #RRGGBB，例如 #FFFFFF"));
    return QColor(value);
}

Result<FramingNorm> normValue(const QString& value)
{
    if (value == QStringLiteral("学籍"))
        return FramingNorm::registry();
    if (value == QStringLiteral("身份证"))
        return FramingNorm::identityCard();
    return failure(QStringLiteral("取景应为 学籍 或 身份证"));
}

// A band of shares, "0.60-0.72".
Result<std::pair<double, double>> bandValue(const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d*\\.?\\d+)\\s*-\\s*(\\d*\\.?\\d+)$"));
    const QRegularExpressionMatch m = pattern.match(value);
    const double low = m.hasMatch() ? m.captured(1).toDouble() : -1;
    const double high = m.hasMatch() ? m.captured(2).toDouble() : -1;
    if (low < 0 || high > 1 || low > high)
        return failure(QStringLiteral("应为 0 到 1 之间的比例范围，例如 0.60-0.72"));
    return std::make_pair(low, high);
}

// One key of a preset: reads its value into the preset, or says why not.
using KeyReader = std::function<QString(const QString& value, PhotoPreset& preset)>;

template <class T, class Set> KeyReader reader(Result<T> (*read)(const QString&), Set set)
{
    return [read, set](const QString& value, PhotoPreset& preset) {
        Result<T> r = read(value);
        if (!r)
            return r.error();
        set(preset, r.value());
        return QString();
    };
}

KeyReader bandReader(double FramingNorm::*min, double FramingNorm::*max)
{
    return reader(bandValue, [min, max](PhotoPreset& p, const std::pair<double, double>& band) {
        p.framing.*min = band.first;
        p.framing.*max = band.second;
    });
}

const std::map<QString, KeyReader>& keyReaders()
{
    static const std::map<QString, KeyReader> readers{
        {QStringLiteral("尺寸"), reader(sizeValue, [](PhotoPreset& p, QSize v) { p.size = v; })},
        {QStringLiteral("分辨率"), reader(dpiValue, [](PhotoPreset& p, int v) { p.dpi = v; })},
        {QStringLiteral("大小"), reader(kbValue, [](PhotoPreset& p, KbRange v) { p.kb = v; })},
        {QStringLiteral("背景"), reader(colourValue, [](PhotoPreset& p, const QColor& v) { p.background = v; })},
        // The norm replaces the four bands: it comes before any of them.
        {QStringLiteral("取景"), reader(normValue, [](PhotoPreset& p, const FramingNorm& v) { p.framing = v; })},
        {QStringLiteral("头部"), bandReader(&FramingNorm::headMin, &FramingNorm::headMax)},
        {QStringLiteral("眼线"), bandReader(&FramingNorm::eyeLineMin, &FramingNorm::eyeLineMax)},
        {QStringLiteral("头顶"), bandReader(&FramingNorm::topMarginMin, &FramingNorm::topMarginMax)},
        {QStringLiteral("脸宽"), bandReader(&FramingNorm::faceWidthMin, &FramingNorm::faceWidthMax)},
    };
    return readers;
}

}  // namespace

PhotoPreset PhotoPreset::custom(QSize size)
{
    PhotoPreset p;
    p.name = customName();
    p.size = size;
    return p;
}

QString PhotoPreset::customName()
{
    return QStringLiteral("自定义");
}

QString PhotoPreset::summary() const
{
    QStringList parts;
    if (!size.isEmpty())
        parts << QStringLiteral("%1×%2 像素").arg(size.width()).arg(size.height());
    if (dpi > 0)
        parts << QStringLiteral("%1 dpi").arg(dpi);
    if (kb.minKb > 0 && kb.maxKb > 0)
        parts << QStringLiteral("%1–%2 KB").arg(kb.minKb).arg(kb.maxKb);
    else if (kb.maxKb > 0)
        parts << QStringLiteral("不超过 %1 KB").arg(kb.maxKb);
    else if (kb.minKb > 0)
        parts << QStringLiteral("不小于 %1 KB").arg(kb.minKb);
    if (background)
        parts << QStringLiteral("背景 %1").arg(background->name().toUpper());
    return parts.join(QStringLiteral("，"));
}

const PhotoPreset* PresetCatalogue::find(const QString& name) const
{
    for (const PhotoPreset& p : presets)
        if (p.name == name)
            return &p;
    return nullptr;
}

QStringList PresetCatalogue::names() const
{
    QStringList names;
    for (const PhotoPreset& p : presets)
        names << p.name;
    return names;
}

std::optional<QColor> backdropColourNamed(const QString& text)
{
    static const QHash<QString, QColor> named{
        {QStringLiteral("white"), QColor(255, 255, 255)},
        {QStringLiteral("blue"), QColor(67, 142, 219)},
        {QStringLiteral("lightblue"), QColor(160, 200, 240)},
        {QStringLiteral("red"), QColor(255, 0, 0)},
    };
    const QString key = text.trimmed().toLower();
    if (const auto found = named.constFind(key); found != named.cend())
        return found.value();
    if (const Result<QColor> written = colourValue(key))
        return written.value();
    return std::nullopt;
}

namespace photopresets {

Result<std::vector<PhotoPreset>> parse(const QString& text, const QString& fileName)
{
    std::vector<PhotoPreset> presets;
    std::vector<int> headerLines;
    const auto fail = [&fileName](int line, const QString& why) {
        return failure(QStringLiteral("照片规格文件 %1 第 %2 行：%3").arg(fileName).arg(line).arg(why));
    };
    // A preset is whole once its size is known: checked at the next header and at the end.
    const auto sized = [&]() -> std::optional<Error> {
        if (!presets.empty() && presets.back().size.isEmpty())
            return fail(headerLines.back(), QStringLiteral("规格“%1”缺少“尺寸”").arg(presets.back().name));
        return std::nullopt;
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        QString line = text::toHalfWidth(lines[i]).trimmed();
        if (i == 0 && line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail(number, QStringLiteral("规格名应写在一对 [ ] 里"));
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty())
                return fail(number, QStringLiteral("规格名为空"));
            if (name == PhotoPreset::customName())
                return fail(number, QStringLiteral("“%1”是直接输入尺寸用的，不能作规格名").arg(name));
            for (const PhotoPreset& p : presets)
                if (p.name == name)
                    return fail(number, QStringLiteral("规格“%1”重复").arg(name));
            if (const auto unsized = sized())
                return *unsized;
            PhotoPreset preset;
            preset.name = name;
            presets.push_back(preset);
            headerLines.push_back(number);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(number, QStringLiteral("应为“项 = 值”或“[规格名]”"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (presets.empty())
            return fail(number, QStringLiteral("“%1”前面没有 [规格名]").arg(key));
        const auto found = keyReaders().find(key);
        if (found == keyReaders().end())
            return fail(number, QStringLiteral("不认识的项“%1”").arg(key));
        const QString why = found->second(value, presets.back());
        if (!why.isEmpty())
            return fail(number, why);
    }
    if (const auto unsized = sized())
        return *unsized;
    if (presets.empty())
        return failure(QStringLiteral("照片规格文件 %1 里没有规格").arg(fileName));
    return presets;
}

QString shippedText()
{
    QFile file(QStringLiteral(":/presets/photopresets.ini"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kqvxzt/photopresets.ini");
}

PresetCatalogue load(const QString& userFilePath)
{
    PresetCatalogue catalogue;
    if (!userFilePath.isEmpty() && QFileInfo::exists(userFilePath)) {
        const QString shown = QDir::toNativeSeparators(userFilePath);
        QFile file(userFilePath);
        if (!file.open(QIODevice::ReadOnly)) {
            catalogue.warning =
                QStringLiteral("无法读取照片规格文件 %1：%2").arg(shown, systemerror::withChinese(file.errorString()));
        } else {
            Result<std::vector<PhotoPreset>> own = parse(QString::fromUtf8(file.readAll()), shown);
            if (own) {
                catalogue.presets = std::move(own).value();
                catalogue.source = shown;
                return catalogue;
            }
            catalogue.warning = own.error();
        }
        catalogue.warning += QStringLiteral("；已改用内置规格");
    }
    // The shipped file is tested: it always reads.
    catalogue.presets = parse(shippedText(), shippedSource).value();
    catalogue.source = shippedSource;
    return catalogue;
}

}  // namespace photopresets
