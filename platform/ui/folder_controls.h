#pragma once

// The drive list and folder list of the setup window: a chooser that yields a folder path
// without a trailing separator (the file-system root as "/").

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <vector>

#include "platform/drives.h"

namespace platform {

// The places a user would start from: the root, the home folder, the C: drive of each Wine
// prefix and mounted volumes; it starts on the drive that holds the simulator, if one does.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // The selected drive's folder.
    QString drive() const;

    // The folders listed, in order, and with their labels.
    static QStringList AvailableDrives();
    static std::vector<Drive> AvailableDriveList();

signals:
    void driveChanged(const QString& folder);
};

// A folder list: the chain of folders from the root down to the current one, then the
// current folder's subfolders in name order. Activating (double-clicking) an entry opens it.
class DirList : public QListWidget {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Opens a folder; a path that is no folder leaves the list as it is.
    void setPath(const QString& folder);

signals:
    void pathChanged(const QString& folder);

private:
    void Fill();

    QString m_path;
};

}  // namespace platform
