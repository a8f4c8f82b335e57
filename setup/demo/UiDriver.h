// Drives the tool's forms as a user would, by object name: for the demo's
// walk and for the GUI tests. The waits run the event loop, so they work
// inside a modal dialog's loop as well.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>

namespace kestcfg::ui {

// Runs the event loop until done() is true or ms have passed; done()'s last
// answer.
bool WaitFor(const std::function<bool()>& done, int ms);

// The visible top-level window named objectName, or null.
QWidget* Window(const QString& objectName);
// Waits up to ms for that window.
QWidget* WaitForWindow(const QString& objectName, int ms);

// The child of form named objectName, of type T (null when missing).
template <typename T = QWidget>
T* Find(QWidget* form, const QString& objectName) {
    if (!form) return nullptr;
    if (form->objectName() == objectName) return qobject_cast<T*>(form);
    return form->findChild<T*>(objectName);
}

// Runs action once a window named objectName is visible (with null after ms
// without one): set up before the step that opens a modal dialog, it runs
// inside that dialog's loop.
void WhenShown(const QString& objectName, std::function<void(QWidget*)> action, int ms = 10000);

// Replaces a text box's text as typing would (each character a key press,
// so the box's key filter applies).
void Type(QWidget* box, const QString& text);
// Clicks a button by object name; false when it is missing or disabled.
bool Click(QWidget* form, const QString& objectName);

// Saves a picture of window as dir/objectName.png; false when it cannot.
bool SavePicture(QWidget* window, const QString& dir, const QString& name = QString());

}  // namespace kestcfg::ui
