#include "ffmpegutil.h"

#include "systemerror.h"

extern "C" {
#include <libavdevice/avdevice.h>
}
#include <mutex>

namespace ff {

QString errorText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    const QString own = QString::fromUtf8(buf);
    // FFmpeg's own failures, as the operator meets them with a camera's address.
    const char* chinese = nullptr;
    switch (code) {
    case AVERROR_INVALIDDATA:
        chinese = "收到的数据不是可识别的视频（地址不对，或服务器中途停止）";
        break;
    case AVERROR_EOF:
        chinese = "视频流已结束";
        break;
    case AVERROR_HTTP_NOT_FOUND:
        chinese = "服务器上没有这个地址";
        break;
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
        chinese = "服务器拒绝访问（需要用户名和密码，或没有权限）";
        break;
    case AVERROR_PROTOCOL_NOT_FOUND:
        chinese = "不支持这种地址";
        break;
    default:
        return systemerror::withChinese(own);
    }
    return QString::fromUtf8(chinese) + QStringLiteral("（") + own + QStringLiteral("）");
}

void setOption(Dict& dict, const char* key, const QByteArray& value)
{
    AVDictionary* d = dict.release();
    av_dict_set(&d, key, value.constData(), 0);
    dict.reset(d);
}

void registerDevices()
{
    static std::once_flag once;
    std::call_once(once, [] {
        avdevice_register_all();
        av_log_set_level(AV_LOG_ERROR);
    });
}

}  // namespace ff
