#include "platform/ui/folder_controls.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

namespace platform {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString Clean(const QString& folder) {
    QString cleaned = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return cleaned.isEmpty() ? QStringLiteral("/") : cleaned;
}

bool IsSystemMount(const QString& root) {
    static const QStringList kSystemRoots = {"/proc", "/sys", "/dev", "/run", "/boot",
                                             "/snap", "/tmp", "/var", "/etc", "/usr"};
    for (const QString& system : kSystemRoots) {
        if (root == system || root.startsWith(system + '/')) {
            return true;
        }
    }
    return false;
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    for (const QString& folder : AvailableDrives()) {
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), folder, folder);
    }
    // Start on the drive that holds the working directory, as the original did.
    const QString current = QDir::currentPath();
    int best = 0;
    for (int i = 0; i < count(); ++i) {
        const QString folder = itemData(i).toString();
        const QString prefix = folder.endsWith('/') ? folder : folder + '/';
        if ((current == folder || current.startsWith(prefix)) &&
            folder.size() > itemData(best).toString().size()) {
            best = i;
        }
    }
    setCurrentIndex(best);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int) { emit driveChanged(drive()); });
}

QString DriveList::drive() const {
    return currentData().toString();
}

QStringList DriveList::AvailableDrives() {
    QStringList drives = {QStringLiteral("/"), Clean(QDir::homePath())};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && !IsSystemMount(root) &&
            !drives.contains(root)) {
            drives.append(root);
        }
    }
    drives.removeDuplicates();
    return drives;
}

DirList::DirList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
    setPath(QDir::rootPath());
}

void DirList::setPath(const QString& folder) {
    const QString cleaned = Clean(folder);
    if (!QFileInfo(cleaned).isDir()) {
        return;
    }
    const bool changed = cleaned != m_path;
    m_path = cleaned;
    Fill();
    if (changed) {
        emit pathChanged(m_path);
    }
}

void DirList::Fill() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList chain;
    for (QDir dir(m_path);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp()) {
            break;
        }
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = QDir(folder).isRoot() ? folder : QDir(folder).dirName();
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);

    const QDir current(m_path);
    const QStringList subfolders = current.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, current.absoluteFilePath(name));
    }
}

}  // namespace platform
