// shellsvc: the host's image list, drawn once a GUI application exists.
#include "svc/state.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

#include <QGuiApplication>
#include <QIcon>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

QList<QIcon>* g_images = nullptr;

// Freed with the application object: pixmaps must not outlive it.
void freeImages() {
    delete g_images;
    g_images = nullptr;
}

QIcon drawIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pixmap);
}

// A sheet of paper with a folded corner and a coloured mark.
QIcon paperIcon(const QColor& mark, const std::function<void(QPainter&)>& inner = {}) {
    return drawIcon([&](QPainter& p) {
        QPainterPath sheet;
        sheet.moveTo(3, 1);
        sheet.lineTo(10, 1);
        sheet.lineTo(13, 4);
        sheet.lineTo(13, 15);
        sheet.lineTo(3, 15);
        sheet.closeSubpath();
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawPath(sheet);
        p.fillRect(QRectF(4.5, 11, 7, 3), mark);
        if (inner) inner(p);
    });
}

QList<QIcon>* makeImages() {
    auto* list = new QList<QIcon>;
    const QColor folderYellow(230, 190, 70);
    // The order is hostwork::ImageIndex.
    list->append(drawIcon([&](QPainter& p) {  // folder
        p.setPen(QColor(150, 110, 20));
        p.setBrush(folderYellow);
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.drawRect(QRectF(1.5, 2.5, 5, 2));
    }));
    list->append(drawIcon([&](QPainter& p) {  // open folder
        p.setPen(QColor(150, 110, 20));
        p.setBrush(folderYellow.darker(110));
        p.drawRect(QRectF(1.5, 3.5, 11, 10));
        p.setBrush(folderYellow.lighter(120));
        const QPointF flap[] = {{3.5, 7.5}, {15, 7.5}, {12.5, 13.5}, {1.5, 13.5}};
        p.drawPolygon(flap, 4);
    }));
    list->append(drawIcon([](QPainter& p) {  // project: a briefcase
        p.setPen(QColor(60, 40, 20));
        p.setBrush(QColor(140, 90, 50));
        p.drawRoundedRect(QRectF(1.5, 5.5, 13, 9), 2, 2);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(5.5, 2.5, 5, 3));
    }));
    list->append(paperIcon(QColor(200, 40, 40), [](QPainter& p) {  // audit diary: ruled lines
        p.setPen(QColor(200, 40, 40));
        for (int y = 4; y <= 9; y += 2) p.drawLine(5, y, 11, y);
    }));
    list->append(paperIcon(QColor(240, 140, 30), [](QPainter& p) {  // daily diary: a sun
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 140, 30));
        p.drawEllipse(QPointF(8, 6.5), 2.5, 2.5);
    }));
    list->append(paperIcon(QColor(40, 90, 200), [](QPainter& p) {  // working paper: a grid
        p.setPen(QColor(40, 90, 200));
        p.drawRect(QRectF(5, 3.5, 6, 6));
        p.drawLine(QPointF(8, 3.5), QPointF(8, 9.5));
        p.drawLine(QPointF(5, 6.5), QPointF(11, 6.5));
    }));
    list->append(paperIcon(QColor(120, 120, 120)));  // project file
    list->append(drawIcon([](QPainter& p) {          // spreadsheet
        p.setPen(QColor(20, 110, 50));
        p.setBrush(QColor(220, 245, 225));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        for (int x = 5; x < 15; x += 4) p.drawLine(x, 2, x, 14);
        for (int y = 5; y < 15; y += 3) p.drawLine(2, y, 14, y);
    }));
    list->append(paperIcon(QColor(60, 60, 60), [](QPainter& p) {  // text
        p.setPen(QColor(60, 60, 60));
        for (int y = 4; y <= 9; y += 2) p.drawLine(5, y, 12, y);
    }));
    list->append(drawIcon([](QPainter& p) {  // web page: a globe
        p.setPen(QColor(20, 80, 160));
        p.setBrush(QColor(170, 210, 250));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(2, 8, 14, 8);
    }));
    list->append(drawIcon([](QPainter& p) {  // picture: hills and a sun
        p.setPen(QColor(80, 80, 80));
        p.setBrush(QColor(200, 230, 255));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 150, 60));
        const QPointF hill[] = {{2, 13}, {6, 7}, {9, 11}, {11, 9}, {14, 13}};
        p.drawPolygon(hill, 5);
        p.setBrush(QColor(250, 200, 40));
        p.drawEllipse(QPointF(11, 5.5), 1.5, 1.5);
    }));
    list->append(drawIcon([](QPainter& p) {  // database: a cylinder
        p.setPen(QColor(70, 70, 120));
        p.setBrush(QColor(170, 170, 220));
        p.drawRect(QRectF(2.5, 4, 11, 9));
        p.drawEllipse(QRectF(2.5, 10.5, 11, 4));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(3, 4, 10, 8.5));
        p.setPen(QColor(70, 70, 120));
        p.setBrush(QColor(200, 200, 240));
        p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
    }));
    list->append(paperIcon(QColor(30, 60, 150), [](QPainter& p) {  // word document: a "W"
        p.setPen(QPen(QColor(30, 60, 150), 1.2));
        const QPointF w[] = {{5, 4}, {6.5, 9}, {8, 6}, {9.5, 9}, {11, 4}};
        p.drawPolyline(w, 5);
    }));
    list->append(drawIcon([](QPainter& p) {  // package: a tied box
        p.setPen(QColor(110, 70, 30));
        p.setBrush(QColor(210, 170, 110));
        p.drawRect(QRectF(2.5, 4.5, 11, 9));
        p.drawLine(QPointF(8, 4.5), QPointF(8, 13.5));
        p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
    }));
    return list;
}

}  // namespace

extern "C" void* KQGetKQImageList(int /*flag*/) {
    if (!qGuiApp) return nullptr;
    if (!g_images) {
        g_images = makeImages();
        qAddPostRoutine(freeImages);
    }
    return g_images;
}
