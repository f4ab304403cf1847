#pragma once

#include <QString>

#include <functional>

namespace pictrove::platform {

// A private folder for one run's temporary files, made in the system's temporary folder
// ($TMPDIR, else /tmp) as "pictrove-<pid>-<n>" with access for the owner only. Its name
// tells later runs whose it is (see removeStaleTemporaryFolders()). While it exists it is
// registered for removal when an interrupting signal ends the program. Removed, with
// everything in it, by the destructor.
class PrivateFolder {
  public:
    PrivateFolder();
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // False when no folder could be made; nothing has then been written anywhere.
    bool isValid() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    // Why the folder could not be made, in words for people.
    QString error() const { return error_; }

  private:
    QString path_;
    QString error_;
};

// The message shown when no private folder can be had: the run does not start.
QString noTemporaryFolderMessage(const PrivateFolder& folder);

// A short name of fixed length for the n-th temporary file of a run (n >= 0):
// "0000000042" + suffix. Short so that any name that fits the file system works beside it.
QString temporaryFileName(quint32 n, const QString& suffix);

// The hidden name of a part file that a write fills before it is renamed over its
// target: ".pictrove-<pid>-<n>.part", unique within this process.
QString partFileName();

// Removes the temporary folders of earlier runs whose process has ended: only entries of
// the system's temporary folder named as PrivateFolder names them, that are folders (not
// links), belong to this user and whose process is no longer alive.
void removeStaleTemporaryFolders();

// Removes the part files in `folder` that an interrupted write left: only regular files
// named as partFileName() names them, owned by this user, whose writing process has ended.
void removeStalePartFiles(const QString& folder);

// Makes a file or folder (given as the path bytes for the file system) that an interrupting
// signal must remove: `make` runs under the cleanup's lock and returns what open() or
// mkdir() return; a result >= 0 registers the path. So an interruption sees the path
// either made and registered or neither, never made after its cleanup ran. Unregister once
// the path is gone or renamed.
int makeForCleanup(const QByteArray& nativePath, const std::function<int()>& make);
void unregisterFromCleanup(const QByteArray& nativePath);

// From now on SIGINT, SIGTERM and SIGHUP remove everything registered for cleanup and end
// the program with status 128 + the signal's number. Call at the start of main(). The
// signal handler only writes to a pipe; a thread of its own does the rest. Programs the
// process starts get the default handling back when they are executed.
void endCleanlyOnInterrupt();

}  // namespace pictrove::platform
