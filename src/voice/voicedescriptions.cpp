#include "voicedescriptions.h"

#include <QHash>

namespace {

// Chinese names of the languages the engine ships, by language code. Variants
// not listed here fall back to their base language plus the engine's own
// qualifier.
const QHash<QString, QString>& chineseLanguageNames()
{
    static const QHash<QString, QString> names = {
        {"cmn-latn-pinyin", "中文 普通话 (拼音)"},
        {"cmn", "普通话 (拉丁字母按英文读)"},
        {"yue", "粤语"},
        {"hak", "客家话"},
        {"af", "南非荷兰语"},
        {"am", "阿姆哈拉语"},
        {"an", "阿拉贡语"},
        {"ar", "阿拉伯语"},
        {"as", "阿萨姆语"},
        {"az", "阿塞拜疆语"},
        {"ba", "巴什基尔语"},
        {"be", "白俄罗斯语"},
        {"bg", "保加利亚语"},
        {"bn", "孟加拉语"},
        {"bpy", "比什努普莱利亚曼尼普尔语"},
        {"bs", "波斯尼亚语"},
        {"ca", "加泰罗尼亚语"},
        {"chr", "切罗基语"},
        {"cs", "捷克语"},
        {"cv", "楚瓦什语"},
        {"cy", "威尔士语"},
        {"da", "丹麦语"},
        {"de", "德语"},
        {"el", "希腊语"},
        {"en", "英语"},
        {"eo", "世界语"},
        {"es", "西班牙语"},
        {"et", "爱沙尼亚语"},
        {"eu", "巴斯克语"},
        {"fa", "波斯语"},
        {"fi", "芬兰语"},
        {"fr", "法语"},
        {"ga", "爱尔兰语"},
        {"gd", "苏格兰盖尔语"},
        {"gn", "瓜拉尼语"},
        {"grc", "古希腊语"},
        {"gu", "古吉拉特语"},
        {"haw", "夏威夷语"},
        {"he", "希伯来语"},
        {"hi", "印地语"},
        {"hr", "克罗地亚语"},
        {"ht", "海地克里奥尔语"},
        {"hu", "匈牙利语"},
        {"hy", "亚美尼亚语 (东部)"},
        {"hyw", "亚美尼亚语 (西部)"},
        {"ia", "国际语"},
        {"id", "印度尼西亚语"},
        {"io", "伊多语"},
        {"is", "冰岛语"},
        {"it", "意大利语"},
        {"ja", "日语"},
        {"jbo", "逻辑语"},
        {"ka", "格鲁吉亚语"},
        {"kk", "哈萨克语"},
        {"kl", "格陵兰语"},
        {"kn", "卡纳达语"},
        {"ko", "韩语"},
        {"kok", "孔卡尼语"},
        {"ku", "库尔德语"},
        {"ky", "吉尔吉斯语"},
        {"la", "拉丁语"},
        {"lb", "卢森堡语"},
        {"lfn", "新共同语言"},
        {"lt", "立陶宛语"},
        {"ltg", "拉特加莱语"},
        {"lv", "拉脱维亚语"},
        {"mi", "毛利语"},
        {"mk", "马其顿语"},
        {"ml", "马拉雅拉姆语"},
        {"mr", "马拉地语"},
        {"ms", "马来语"},
        {"mt", "马耳他语"},
        {"my", "缅甸语"},
        {"nb", "书面挪威语"},
        {"nci", "古典纳瓦特尔语"},
        {"ne", "尼泊尔语"},
        {"nl", "荷兰语"},
        {"nog", "诺盖语"},
        {"om", "奥罗莫语"},
        {"or", "奥里亚语"},
        {"pa", "旁遮普语"},
        {"pap", "帕皮阿门托语"},
        {"piqd", "克林贡语"},
        {"pl", "波兰语"},
        {"pt", "葡萄牙语"},
        {"py", "皮亚什语"},
        {"qdb", "贝尔特语"},
        {"qu", "克丘亚语"},
        {"quc", "基切语"},
        {"qya", "昆雅语"},
        {"ro", "罗马尼亚语"},
        {"ru", "俄语"},
        {"sd", "信德语"},
        {"shn", "掸语"},
        {"si", "僧伽罗语"},
        {"sjn", "辛达林语"},
        {"sk", "斯洛伐克语"},
        {"sl", "斯洛文尼亚语"},
        {"smj", "吕勒萨米语"},
        {"sq", "阿尔巴尼亚语"},
        {"sr", "塞尔维亚语"},
        {"sv", "瑞典语"},
        {"sw", "斯瓦希里语"},
        {"ta", "泰米尔语"},
        {"te", "泰卢固语"},
        {"th", "泰语"},
        {"tk", "土库曼语"},
        {"tn", "茨瓦纳语"},
        {"tr", "土耳其语"},
        {"tt", "鞑靼语"},
        {"ug", "维吾尔语"},
        {"uk", "乌克兰语"},
        {"ur", "乌尔都语"},
        {"uz", "乌兹别克语"},
        {"vi", "越南语"},
    };
    return names;
}

// The engine's qualifier in brackets: "English (Great Britain)" → "(Great Britain)".
QString qualifier(const QString& name)
{
    const int open = name.indexOf('(');
    const int close = name.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    return name.mid(open, close - open + 1);
}

}  // namespace

QString voiceDescription(const VoiceInfo& voice)
{
    const QString code = voice.language.toLower();
    const QString shortId = voice.identifier.section('/', -1).toLower();
    const auto& names = chineseLanguageNames();

    QString language;
    if (names.contains(code)) {
        language = names.value(code);
        // Two voices may share a language code (Cantonese and its jyutping form).
        if (code == "yue" && shortId.contains("jyutping"))
            language += " (粤拼)";
    } else {
        const QString base = code.section('-', 0, 0);
        if (names.contains(base)) {
            language = names.value(base);
            const QString q = qualifier(voice.name);
            if (!q.isEmpty())
                language += ' ' + q;
        } else {
            language = voice.name.trimmed();
        }
    }
    // Only the pinyin voice may look like the Chinese default to the selection rule.
    if (code != "cmn-latn-pinyin") {
        language.replace("中文", "汉语");
        language.replace(QStringLiteral("chinese"), QStringLiteral("汉语"), Qt::CaseInsensitive);
    }
    if (language.isEmpty())
        return shortId;
    return language + ' ' + shortId;
}

int defaultVoiceIndex(const QStringList& descriptions)
{
    for (int i = 0; i < descriptions.size(); ++i) {
        const QString lower = descriptions[i].toLower();
        if (lower.contains("chinese") || lower.contains("中文"))
            return i;
    }
    return -1;
}
