#pragma once
// «Выгрузка в зарплату»: the administrator chooses the file's format, the CSV's encoding
// and where to write it; the export itself is papers::exportPayroll.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class PayrollDialog : public QDialog {
    Q_OBJECT
public:
    PayrollDialog(int month, int year, QWidget* parent = nullptr);

    QComboBox* FormatBox;    // "Книга Excel (.xlsx)", "CSV (;)"
    QComboBox* EncodingBox;  // "UTF-8", "Windows-1251"; for CSV only
    QLineEdit* FileEdit;
    QPushButton* BrowseButton;
    QPushButton* ExportButton;

    // Opens the dialog for the month; the export runs when the administrator confirms.
    static void run(int month, int year, QWidget* parent = nullptr);

private:
    void formatChanged();
    void browse();
    void exportClick();
    bool csv() const { return FormatBox->currentIndex() == 1; }

    int month_;
    int year_;
};

}  // namespace mirn
