#pragma once
#include <QDialog>
#include <QIcon>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// The base of every dialog: a fixed-size modal window with a content area
// (Panel1) above a 41-pixel button bar (Panel2) holding btnOK and btnClose.
// btnOK has no result of its own: a derived dialog validates in its click
// handler and then accepts.  btnClose and the caption bar's close button
// give the Cancel result.
class TfrmModal : public QDialog {
    Q_OBJECT
public:
    explicit TfrmModal(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    // Fixes the client area; dialogs place their controls in absolute pixels.
    void setClientSize(int width, int height);
    // Called each time the dialog is shown, before it first paints.
    virtual void FormShow() {}
    void showEvent(QShowEvent* event) override;

private:
    void centre();
};

// A button placed in a panel at a given position, 75 x 25 as every bar button.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left, int top);

// A label at a position, sized to its text.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top);

// A one-line text box at a position, 21 pixels high.
QLineEdit* makeEdit(QWidget* parent, const QString& name, int left, int top, int width);

// The "..." icon of an edit's side button.
QIcon ellipsisIcon();

// Holds one dialog for the length of an entry routine: creates it in its
// form variable when that holds none, and destroys it and clears the variable
// on every way out, also when an error passes through.
template <class Form> class DialogScope {
public:
    explicit DialogScope(Form*& formVariable) : m_var(formVariable)
    {
        if (!m_var)
            m_var = new Form;
        m_form = m_var;
    }
    ~DialogScope()
    {
        if (m_var == m_form)
            m_var = nullptr;
        delete m_form;
    }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

    Form* operator->() const { return m_form; }
    Form* get() const { return m_form; }

private:
    Form*& m_var;
    Form* m_form = nullptr;
};
