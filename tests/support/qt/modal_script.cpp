#include "support/qt/modal_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

ModalScript::ModalScript() {
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::Poll);
    m_timer.start();
}

ModalScript::~ModalScript() {
    m_timer.stop();
}

ModalScript& ModalScript::Message() {
    return On<QMessageBox>([this](QMessageBox* box) {
        m_messages.push_back(box->text().toStdString());
        QAbstractButton* button = box->defaultButton();
        if (button == nullptr && !box->buttons().isEmpty()) button = box->buttons().first();
        if (button != nullptr) button->click();
    });
}

void ModalScript::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || m_next >= m_steps.size()) return;
    // A page shown again after Back is a fresh step; one already acted on
    // is not acted on twice while it closes.
    const QVariant seen = modal->property("scriptStep");
    if (seen.isValid() && seen.toULongLong() == m_next) return;
    if (!m_steps[m_next].match(modal)) return;
    modal->setProperty("scriptStep", static_cast<qulonglong>(m_next + 1));
    // Queued, so a step that opens another modal window does not hold up
    // this timer inside that window's loop.
    Act act = m_steps[m_next++].act;
    QPointer<QWidget> target(modal);
    QTimer::singleShot(0, this, [act, target] {
        if (target) act(target);
    });
}
