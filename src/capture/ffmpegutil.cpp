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
    return systemerror::withChinese(QString::fromUtf8(buf));
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
