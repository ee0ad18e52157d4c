#pragma once
// The plug-in's own pictures: drawn from the SVG files of the resource file.
#include <QIcon>
#include <QList>

namespace unitarc::ui {

// imgListTree's own eight images, in index order: folder, file, project, stack of sheets,
// basic information, the project's own entity, another entity, a file added from disk.
QList<QIcon> treeImages();
// imgListTool: import, delete, edit, package, template export.
QList<QIcon> toolImages();

// The host's shared image list (KQGetKQImageList): a host-owned QList<QIcon>*, may be null.
QList<QIcon> hostImages();

}  // namespace unitarc::ui
