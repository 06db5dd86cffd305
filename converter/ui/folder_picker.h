// The drive chooser and directory tree that both windows use: the chooser lists the mounted volumes (the
// root first); the tree shows the way from the volume's root to the chosen directory and the directories
// below it, read from the disk as they are opened.
// Also the file-type filters and the conversion of paths between the windows and the batch module.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

inline constexpr char kFileFilter[] =
    "All files (*.*)|*.*|Text files (*.txt)|*.txt|Kandrova Tibetan files (*.kvt)|*.kvt";

// The label and pattern pairs of a filter text "label|pattern|label|pattern...".
std::vector<std::pair<QString, QString>> parse_filter(const QString& filter);

// The names of the files (not directories) in `directory` that match `pattern`, sorted without case.
QStringList matching_files(const QString& directory, const QString& pattern);

// The mounted volumes' root paths: the file-system root (or the system drive) first, then by name.
QStringList volume_roots();

// A path as the batch module takes it (native separators, bytes of the file system), and back.
std::string to_batch_path(const QString& path);
QString from_batch_path(const std::string& path);

class FolderPicker : public QObject {
  Q_OBJECT
 public:
  FolderPicker(QComboBox* drives, QTreeWidget* tree, QObject* parent);

  // The directory chosen in the tree, without a trailing separator except for a bare root.
  QString directory() const;
  // Chooses the volume that holds `path` and opens `path` in the tree.
  void open(const QString& path);

 signals:
  void directoryChanged(const QString& path);

 private:
  void drive_chosen(int index);
  void show_volume(const QString& root);
  void directory_chosen(QTreeWidgetItem* item);
  void fill_children(QTreeWidgetItem* item);
  QTreeWidgetItem* child_named(QTreeWidgetItem* item, const QString& name);

  QComboBox* drives_;
  QTreeWidget* tree_;
};
