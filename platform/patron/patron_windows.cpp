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
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
QString Q(const char* s) { return QString::fromUtf8(s); }
}  // namespace

CLoginDialog::CLoginDialog(const std::string& user, const std::string& error,
                           SignInStarter start, QWidget* parent)
    : QDialog(parent), start_(std::move(start)) {
    setWindowTitle(Q("zeri 登录"));
    user_ = new QLineEdit(Q(user), this);
    user_->setObjectName("user");
    user_->setMaxLength(64);
    password_ = new QLineEdit(this);
    password_->setObjectName("password");
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(256);
    error_ = new QLabel(Q(error), this);
    error_->setObjectName("error");
    error_->setWordWrap(true);
    error_->setStyleSheet("color: #C62828;");
    ok_ = new QPushButton(Q("登录"), this);
    ok_->setObjectName("ok");
    ok_->setDefault(true);
    cancel_ = new QPushButton(Q("取消"), this);
    cancel_->setObjectName("cancel");

    auto* form = new QFormLayout;
    form->addRow(Q("用户名"), user_);
    form->addRow(Q("密码"), password_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(error_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, [this] { Submit(); });
    connect(password_, &QLineEdit::returnPressed, this, [this] { Submit(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    (user.empty() ? user_ : password_)->setFocus();
}

std::string CLoginDialog::user() const { return user_->text().trimmed().toStdString(); }

void CLoginDialog::SetBusy(bool busy) {
    user_->setEnabled(!busy);
    password_->setEnabled(!busy);
    ok_->setEnabled(!busy);
}

void CLoginDialog::Submit() {
    if (!ok_->isEnabled()) return;
    const std::string name = user();
    const std::string password = password_->text().toStdString();
    if (name.empty() || password.empty()) {
        error_->setText(Q("请输入用户名和密码"));
        return;
    }
    SetBusy(true);
    error_->setText(Q("正在登录…"));
    // The answer comes on the library's thread; the dialog may be gone by then.
    QPointer<CLoginDialog> self(this);
    const bool started = start_ && start_(name, password, [self](const SignInResult& r) {
        QMetaObject::invokeMethod(
            qApp, [self, r] { if (self) self->Finished(r); }, Qt::QueuedConnection);
    });
    if (!started) {
        SignInResult r;
        r.error = kNoService;
        Finished(r);
    }
}

void CLoginDialog::Finished(const SignInResult& r) {
    if (r.ok) {
        error_->clear();
        accept();
        return;
    }
    SetBusy(false);
    error_->setText(Q(r.error));
    password_->clear();
    password_->setFocus();
}

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
