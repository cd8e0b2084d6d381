#pragma once
// The application object: errors that escape an event handler are shown and the
// application goes on; Qt's own dialogs speak Russian.
#include <QApplication>

namespace mirn {

class MirnApplication : public QApplication {
public:
    MirnApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Translator, number locale for the workbook writer, application names.
void setupApplication(QApplication& app);

}  // namespace mirn
