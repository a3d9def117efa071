#ifndef STATEMENTDIALOG_H
#define STATEMENTDIALOG_H

#include <QDialog>

namespace Ui {
class StatementDialog;
}

// Names the open-source components the program is built from and where their sources are.
class StatementDialog : public QDialog
{
    Q_OBJECT
public:
    explicit StatementDialog(QWidget* parent = nullptr);
    ~StatementDialog() override;

    static QString statementText();

private slots:
    void on_buttonClose_clicked();

private:
    Ui::StatementDialog* ui;
};

#endif // STATEMENTDIALOG_H
