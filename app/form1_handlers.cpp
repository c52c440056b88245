// Start-up, the naming mode, Cancel and closing.
#include "form1_handlers.h"

#include "module1.h"

#include <filesystem>

namespace carrowin::app {
namespace {

// The full path of the current directory, with the platform's separators.
std::string currentDirectory()
{
    std::error_code ec;
    const std::u8string path = std::filesystem::current_path(ec).u8string();
    return {path.begin(), path.end()};
}

} // namespace

Form1Handlers::Form1Handlers(Form1View& view) : m_view(view)
{
    Module1::Form1Ref = &view;
}

void Form1Handlers::Form_Load()
{
    Module1::CancelRequested = Module1::False;
    FindStoreRoot();
    m_view.setValue(Control::sopt1, Module1::True);
    m_view.setValue(Control::sopt2, Module1::False);
    m_view.setValue(Control::Check1, 1);
    m_view.setEnabled(Control::fpref1, true);
    m_view.setVisible(Control::Command1, false);
    m_view.setText(Control::outpth1, currentDirectory());
    m_view.setVisible(Control::Label1, false);
    m_view.setVisible(Control::prog1, false);
    if (Module1::Form1Ref != nullptr)
        Module1::Form1Ref->showWindow();
}

void Form1Handlers::sopt1_Click()
{
    m_view.setValue(Control::sopt1, Module1::True);
    m_view.setValue(Control::sopt2, Module1::False);
    m_view.setValue(Control::Check1, 1);
    m_view.setEnabled(Control::fpref1, false);
}

void Form1Handlers::sopt2_Click()
{
    m_view.setValue(Control::sopt2, Module1::True);
    m_view.setValue(Control::sopt1, Module1::False);
    m_view.setValue(Control::Check1, 2);
    m_view.setEnabled(Control::fpref1, true);
}

void Form1Handlers::Command1_Click()
{
    Module1::CancelRequested = Module1::True;
}

void Form1Handlers::Form_Unload()
{
    // Closing is never refused.
    Module1::CancelRequested = Module1::True;
    Module1::Form1Ref = nullptr;
    m_closed = true;
}

void Form1Handlers::Form_Terminate()
{
    Module1::Form1Ref = nullptr;
}

} // namespace carrowin::app
