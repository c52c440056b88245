#pragma once
// The one window in Qt: its layout comes from form1.ui, its behaviour from the handlers,
// to which it routes its events; it gives them its controls through Form1View.
#include "form1_handlers.h"
#include "form1_view.h"

#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class Form1;
}

class Form1 : public QWidget, public carrowin::app::Form1View {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override; // Form_Terminate

    carrowin::app::Form1Handlers& handlers() { return m_handlers; }

    std::string text(carrowin::app::Control c) const override;
    void setText(carrowin::app::Control c, const std::string& text) override;
    int value(carrowin::app::Control c) const override;
    void setValue(carrowin::app::Control c, int value) override;
    bool isVisible(carrowin::app::Control c) const override;
    void setVisible(carrowin::app::Control c, bool visible) override;
    void setEnabled(carrowin::app::Control c, bool enabled) override;
    bool hasFocus(carrowin::app::Control c) const override;
    void setFocus(carrowin::app::Control c) override;
    void clearList(carrowin::app::Control c) override;
    void addListEntries(carrowin::app::Control c, const std::vector<std::string>& entries) override;
    int listCount(carrowin::app::Control c) const override;
    std::string listEntry(carrowin::app::Control c, int index) const override;
    void showMessage(const std::string& text, carrowin::app::MessageKind kind) override;
    void setBusyPointer(bool busy) override;
    void processPendingEvents() override;
    void showWindow() override;
    std::chrono::milliseconds frameInterval() const override;

    using QWidget::hasFocus;
    using QWidget::isVisible;
    using QWidget::setFocus;
    using QWidget::setEnabled;
    using QWidget::setVisible;

protected:
    void closeEvent(QCloseEvent* event) override; // Form_Unload
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget(carrowin::app::Control c) const;
    void applyDescriptionFonts();
    void connectHandlers();

    std::unique_ptr<Ui::Form1> ui;
    std::array<QWidget*, carrowin::app::kControlCount> m_widgets{}; // by Control, found by name
    carrowin::app::Form1Handlers m_handlers;
};
