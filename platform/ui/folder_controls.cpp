#include "platform/ui/folder_controls.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>
#include <chrono>

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
    const std::vector<Drive> drives = AvailableDriveList();
    for (const Drive& drive : drives) {
        const QString folder = QString::fromStdString(drive.path);
        addItem(
            style()->standardIcon(QStyle::SP_DriveHDIcon),
            drive.label == "/" || drive.label == "~" ? folder : QString::fromStdString(drive.label),
            folder);
    }
    // The list starts where the simulator is, when a drive holds it; otherwise at home.
    const auto simulator = DriveWithSimulator(drives, std::chrono::milliseconds(400));
    setCurrentIndex(simulator ? static_cast<int>(*simulator) : std::min(1, count() - 1));
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int) { emit driveChanged(drive()); });
}

QString DriveList::drive() const {
    return currentData().toString();
}

std::vector<Drive> DriveList::AvailableDriveList() {
    std::vector<Drive> drives = FindDrives(Clean(QDir::homePath()).toStdString(),
                                           qEnvironmentVariable("WINEPREFIX").toStdString());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const std::string root = volume.rootPath().toStdString();
        const bool known = std::any_of(drives.begin(), drives.end(),
                                       [&](const Drive& drive) { return drive.path == root; });
        if (volume.isValid() && volume.isReady() && !IsSystemMount(volume.rootPath()) && !known)
            drives.push_back({root, root});
    }
    return drives;
}

QStringList DriveList::AvailableDrives() {
    QStringList folders;
    for (const Drive& drive : AvailableDriveList())
        folders.append(QString::fromStdString(drive.path));
    return folders;
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
