#include "workbookfile.h"

#include "bytes.h"
#include "csvreader.h"
#include "xlsreader.h"
#include "xlsxreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace workbook {

namespace {

QString notRegular(const QString& path)
{
    return QStringLiteral("“%1”不是普通文件").arg(QDir::toNativeSeparators(path));
}

QString suffixOf(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}

#ifdef Q_OS_UNIX
// An open file descriptor, closed on every way out.
class Fd {
public:
    explicit Fd(int fd)
        : fd_(fd)
    {
    }
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString openReason(int error)
{
    const QString library = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有读取权限（%1）").arg(library);
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件不存在，无法打开（%1）").arg(library);
    default:
        return QStringLiteral("文件无法打开（%1）").arg(library);
    }
}

Result<Bytes> loadFile(const QString& path)
{
    // Non-blocking, so that opening a FIFO returns at once; the type check
    // on the open descriptor then refuses it without a race.
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return failure(openReason(errno));
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return failure(openReason(errno));
    if (!S_ISREG(st.st_mode))
        return failure(notRegular(path));
    if (st.st_size == 0)
        return failure(QStringLiteral("文件是空的"));
    if (st.st_size > maxPartBytes)
        return failure(QStringLiteral("文件大于 256 MB，不像是名单"));
    Bytes data{size_t(st.st_size)};
    if (!data.data())
        return failure(QStringLiteral("内存不足"));
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(QStringLiteral("文件读取出错（%1）").arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (n == 0)
            break;
        done += size_t(n);
    }
    if (done != data.size())
        return failure(QStringLiteral("文件读取不完整，读取时文件变短了"));
    return data;
}
#else
Result<Bytes> loadFile(const QString& path)
{
    if (const Status regular = checkRegularFile(path); !regular)
        return failure(regular.error());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::PermissionsError)
            return failure(QStringLiteral("没有读取权限（%1）").arg(file.errorString()));
        return failure(QStringLiteral("文件无法打开（%1）").arg(file.errorString()));
    }
    if (file.size() == 0)
        return failure(QStringLiteral("文件是空的"));
    if (file.size() > maxPartBytes)
        return failure(QStringLiteral("文件大于 256 MB，不像是名单"));
    Bytes data{size_t(file.size())};
    if (!data.data())
        return failure(QStringLiteral("内存不足"));
    if (file.read(data.data(), qint64(data.size())) != qint64(data.size()))
        return failure(QStringLiteral("文件读取不完整（%1）").arg(file.errorString()));
    return data;
}
#endif

}  // namespace

bool isWorkbookFileName(const QString& path)
{
    const QString suffix = suffixOf(path);
    for (const char* known : {"xls", "xlsx", "xlsm", "xlt", "xltx", "xltm", "csv"}) {
        if (suffix == QLatin1String(known))
            return true;
    }
    return false;
}

Status checkRegularFile(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    // stat follows links: a link to /dev/zero is a device.
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return failure(notRegular(path));
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failure(notRegular(path));
#endif
    return Status::success();
}

Result<Sheet> readWorkbook(const QString& path, const ReadOptions& options)
{
    if (!isWorkbookFileName(path))
        return failure(QStringLiteral("只能读取 Excel 文件（.xls、.xlsx、.xlsm、.xltx、.xltm）或 .csv 文件"));
    const Result<Bytes> data = loadFile(path);
    if (!data)
        return failure(data.error());
    return readWorkbookData(path, data->view(), options);
}

Result<Sheet> readWorkbookData(const QString& fileName, const QByteArray& data, const ReadOptions& options)
{
    if (data.isEmpty())
        return failure(QStringLiteral("文件是空的"));
    if (suffixOf(fileName) == u"csv")
        return readCsv(data, options);
    // The extension only says "a workbook"; the content says which kind.
    if (data.startsWith("PK\x03\x04") || data.startsWith("PK\x05\x06"))
        return readXlsx(data, options);
    if (data.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return readXls(data, options);
    return failure(QStringLiteral("不是有效的 Excel 文件（既不是 zip 包也不是 OLE2 文件）"));
}

}  // namespace workbook
