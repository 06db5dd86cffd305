#include "folder_picker.h"

#include <algorithm>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeWidget>

#include "batch.h"

using namespace tarvex;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QTreeWidgetItem* new_folder_item(const QString& text, const QString& path) {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setData(0, kPathRole, path);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

QString volume_of(const QString& path) {
  const QStorageInfo volume(path);
  return volume.isValid() ? volume.rootPath() : QDir::rootPath();
}

}  // namespace

std::vector<std::pair<QString, QString>> parse_filter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  std::vector<std::pair<QString, QString>> pairs;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
  return pairs;
}

QStringList matching_files(const QString& directory, const QString& pattern) {
  const std::string batch_pattern = pattern.toStdString();
  QStringList names;
  for (const QString& name : QDir(directory).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
    if (name_matches(batch_pattern, QFile::encodeName(name).toStdString())) names.push_back(name);
  return names;
}

QStringList volume_roots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Package images (snaps) are mounted as squashfs volumes: they are no place for the user's texts.
    if (!volume.isValid() || !volume.isReady() || volume.fileSystemType() == "squashfs") continue;
    if (!roots.contains(volume.rootPath())) roots.push_back(volume.rootPath());
  }
  roots.sort(Qt::CaseInsensitive);
  roots.removeAll(QDir::rootPath());
  roots.prepend(QDir::rootPath());
  return roots;
}

std::string to_batch_path(const QString& path) {
  return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

QString from_batch_path(const std::string& path) {
  return QDir::fromNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path)));
}

FolderPicker::FolderPicker(QComboBox* drives, QTreeWidget* tree, QObject* parent)
    : QObject(parent), drives_(drives), tree_(tree) {
  for (const QString& root : volume_roots()) drives_->addItem(QDir::toNativeSeparators(root), root);
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  connect(drives_, &QComboBox::activated, this, &FolderPicker::drive_chosen);
  connect(tree_, &QTreeWidget::itemExpanded, this, &FolderPicker::fill_children);
  connect(tree_, &QTreeWidget::currentItemChanged, this, &FolderPicker::directory_chosen);
}

QString FolderPicker::directory() const {
  if (const QTreeWidgetItem* item = tree_->currentItem()) return item->data(0, kPathRole).toString();
  return drives_->currentData().toString();
}

void FolderPicker::open(const QString& path) {
  const QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  const QString root = volume_of(target);
  int index = drives_->findData(root);
  if (index < 0) {
    drives_->addItem(QDir::toNativeSeparators(root), root);
    index = drives_->count() - 1;
  }
  drives_->setCurrentIndex(index);
  show_volume(root);

  // Like a directory list, the tree shows the way from the root down and what lies below the end of it.
  QTreeWidgetItem* item = tree_->topLevelItem(0);
  const QSignalBlocker quiet(tree_);
  for (const QString& name :
       QDir(root).relativeFilePath(target).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (name == QLatin1String(".")) continue;
    item->setExpanded(true);
    item = child_named(item, name);
  }
  tree_->setCurrentItem(item);
  directory_chosen(item);
  tree_->scrollToItem(item);
}

void FolderPicker::drive_chosen(int index) {
  show_volume(drives_->itemData(index).toString());
  tree_->setCurrentItem(tree_->topLevelItem(0));
}

void FolderPicker::show_volume(const QString& root) {
  tree_->clear();
  tree_->addTopLevelItem(new_folder_item(QDir::toNativeSeparators(root), root));
}

void FolderPicker::directory_chosen(QTreeWidgetItem* item) {
  if (item) {
    fill_children(item);
    item->setExpanded(true);
  }
  emit directoryChanged(directory());
}

void FolderPicker::fill_children(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  const QDir dir(item->data(0, kPathRole).toString());
  QList<QTreeWidgetItem*> known = item->takeChildren();
  for (const QString& name :
       dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
    const auto same =
        std::find_if(known.begin(), known.end(), [&](auto* child) { return child->text(0) == name; });
    if (same != known.end()) {
      item->addChild(*same);
      known.erase(same);
    } else {
      item->addChild(new_folder_item(name, dir.filePath(name)));
    }
  }
  item->addChildren(known);  // hidden directories on the way to an opened one
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* FolderPicker::child_named(QTreeWidgetItem* item, const QString& name) {
  for (int i = 0; i < item->childCount(); ++i)
    if (item->child(i)->text(0) == name) return item->child(i);
  QTreeWidgetItem* child = new_folder_item(name, QDir(item->data(0, kPathRole).toString()).filePath(name));
  item->addChild(child);
  return child;
}
