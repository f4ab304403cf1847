#include "core/platform/TemporaryFiles.h"

#include "core/platform/PathText.h"

#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <set>
#include <thread>

namespace pictrove::platform {

namespace {

std::atomic<quint32> g_partCounter{0};

std::mutex& cleanupMutex() {
    static std::mutex m;
    return m;
}
std::set<QByteArray>& cleanupSet() {
    static std::set<QByteArray> s;
    return s;
}

// Removes a file, or a folder with everything in it, without following links.
void removeTree(const QByteArray& nativePath) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(nativePath.toStdString()), ignored);
}

// True when process `pid` has certainly ended (kill() finds no such process).
bool processEnded(qint64 pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Every entry of `folder` whose name matches `pattern` (group 1 the writer's pid), is of
// the given file type (lstat, so never a link), belongs to this user and whose writer
// has ended.
std::vector<QByteArray> staleEntries(const QByteArray& folder, const QRegularExpression& pattern,
                                     mode_t type) {
    std::vector<QByteArray> found;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(name));
        if (!m.hasMatch() || qint64(m.captured(1).toLongLong()) == qint64(::getpid()))
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || (st.st_mode & S_IFMT) != type ||
            st.st_uid != ::geteuid() || !processEnded(m.captured(1).toLongLong()))
            continue;
        found.push_back(path);
    }
    ::closedir(dir);
    return found;
}

// The system's temporary folder as the environment names it: $TMPDIR, else /tmp. Taken
// as it stands: a $TMPDIR that is missing or no folder is no reason to use another place.
QByteArray temporaryBase() {
    const QByteArray tmpdir = qgetenv("TMPDIR");
    return tmpdir.isEmpty() ? QByteArray("/tmp") : tmpdir;
}

const QRegularExpression& folderPattern() {
    static const QRegularExpression p(QStringLiteral("^pictrove-([0-9]{1,10})-[0-9]{1,10}$"));
    return p;
}

const QRegularExpression& partPattern() {
    static const QRegularExpression p(
        QStringLiteral("^\\.pictrove-([0-9]{1,10})-[0-9]{1,10}\\.part$"));
    return p;
}

}  // namespace

PrivateFolder::PrivateFolder() {
    const QByteArray base = temporaryBase();
    constexpr int kTries = 100;
    static std::atomic<quint32> next{0};
    int why = 0;
    for (int i = 0; i < kTries; ++i) {
        const QByteArray candidate = base + "/pictrove-" + QByteArray::number(qint64(::getpid())) +
                                     '-' + QByteArray::number(next++);
        if (makeForCleanup(candidate, [&] { return ::mkdir(candidate.constData(), 0700); }) == 0) {
            path_ = pathFromNative(candidate);
            return;
        }
        why = errno;
        if (why != EEXIST)
            break;
    }
    error_ = QStringLiteral("%1: %2").arg(pathFromNative(base),
                                          QString::fromLocal8Bit(std::strerror(why)));
}

PrivateFolder::~PrivateFolder() {
    if (path_.isEmpty())
        return;
    const QByteArray native = pathToNative(path_);
    removeTree(native);
    unregisterFromCleanup(native);
}

QString noTemporaryFolderMessage(const PrivateFolder& folder) {
    return QStringLiteral("Cannot make a private temporary folder (%1); nothing was extracted.")
        .arg(folder.error());
}

QString temporaryFileName(quint32 n, const QString& suffix) {
    return QStringLiteral("%1").arg(n, 10, 10, QLatin1Char('0')) + suffix;
}

QString partFileName() {
    return QStringLiteral(".pictrove-%1-%2.part").arg(qint64(::getpid())).arg(g_partCounter++);
}

void removeStaleTemporaryFolders() {
    for (const QByteArray& path : staleEntries(temporaryBase(), folderPattern(), S_IFDIR))
        removeTree(path);
}

void removeStalePartFiles(const QString& folder) {
    for (const QByteArray& path : staleEntries(pathToNative(folder), partPattern(), S_IFREG))
        ::unlink(path.constData());
}

int makeForCleanup(const QByteArray& nativePath, const std::function<int()>& make) {
    const std::lock_guard lock(cleanupMutex());
    const int result = make();
    if (result >= 0)
        cleanupSet().insert(nativePath);
    return result;
}

void unregisterFromCleanup(const QByteArray& nativePath) {
    const std::lock_guard lock(cleanupMutex());
    cleanupSet().erase(nativePath);
}

namespace {

int g_interruptPipe[2] = {-1, -1};

// Only hands the signal on: the cleanup runs in a thread of its own, where it may lock
// and allocate.
void onInterrupt(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &number, 1);
    errno = saved;
}

}  // namespace

void endCleanlyOnInterrupt() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(g_interruptPipe, O_CLOEXEC) != 0)
            return;
        std::thread([] {
            unsigned char signal = 0;
            while (::read(g_interruptPipe[0], &signal, 1) != 1) {
            }
            // The lock is kept to the end: no temporary file is registered (and so none
            // is made, as writes register first) while the others go.
            cleanupMutex().lock();
            for (const QByteArray& path : cleanupSet())
                removeTree(path);
            ::_exit(128 + signal);
        }).detach();
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(signal, &action, nullptr);
    });
}

}  // namespace pictrove::platform
