// The control of the input-method test: a plain line edit that takes the input method, as any
// program's text field would. Every text it holds after a commit is printed on its own line, so
// the test can tell what the method composed.

#include <QApplication>
#include <QLineEdit>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("line-edit-probe"));
    edit.resize(400, 40);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    edit.show();
    edit.activateWindow();
    return application.exec();
}
