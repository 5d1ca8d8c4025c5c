#pragma once
// Texts and setting keys the parts of capControl share.
#include <QString>

namespace capture {

inline const QString kNoSource = QStringLiteral("没有连接视频来源。");
inline const QString kBusy = QStringLiteral("正在捕获中。");
inline const QString kBestModeKey = QStringLiteral("stillFromBestMode");

}  // namespace capture
