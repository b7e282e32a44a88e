#pragma once
// Runs a skinned dialog modal, centred over its owner, until it closes: the
// dialog calls Quit from its OnFinalMessage (and its destructor).

#include <QEventLoop>
#include <QPointer>

#include "platform/dui/window.h"

class CModalLoop {
public:
    // False when the dialog's skin cannot be loaded (nothing was shown).
    bool Run(WindowImplBase& dialog, QWidget* owner) {
        if (!dialog.IsSkinLoaded() && !dialog.Create(owner)) return false;
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.CenterWindow();
        dialog.ShowWindow(true);
        QEventLoop loop;
        loop_ = &loop;
        if (dialog.isVisible()) loop.exec();
        return true;
    }
    void Quit() {
        if (loop_) loop_->quit();
    }

private:
    QPointer<QEventLoop> loop_;
};
