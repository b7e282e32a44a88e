#include "platform/patron/patron_windows.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace patron {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }
}  // namespace

void ShowProfileWindow(const PatronUserDetail& d) {
    auto* w = new QDialog;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setObjectName("profile");
    w->setWindowTitle(Q("用户资料"));
    auto* form = new QFormLayout(w);
    form->addRow(Q("昵称"), new QLabel(Q(d.nickname), w));
    form->addRow(Q("ID"), new QLabel(QString::number(d.userId), w));
    form->addRow(Q("性别"), new QLabel(Q(d.sex == 1 ? "女" : "男"), w));
    auto* grade = new QLabel(Q(d.wealthText) + QString(" (%1)").arg(d.wealthGrade), w);
    if (d.wealthColour[0]) grade->setStyleSheet(QString("color: %1;").arg(Q(d.wealthColour)));
    form->addRow(Q("财富等级"), grade);
    form->addRow(Q("VIP"), new QLabel(d.vipLevel ? QString::number(d.vipLevel) : Q("无"), w));
    auto* close = new QPushButton(Q("关闭"), w);
    QObject::connect(close, &QPushButton::clicked, w, &QDialog::close);
    form->addRow(close);
    w->show();
}

}  // namespace patron
