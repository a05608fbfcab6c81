#pragma once

#include <QWidget>

class AppContext;
class NavigationWidget;
class QLineEdit;
class QPushButton;

// Frm_userspw: the logged-in user changes the password of their own account. No grant needed.
class PasswordWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasswordWindow)

public:
    explicit PasswordWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void change();

    AppContext& m_context;
    NavigationWidget* m_navigation;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QLineEdit* m_text4 = nullptr;
    QPushButton* m_cmdOk = nullptr;
};
