#include <QtTest>
class AppShellTest : public QObject {
    Q_OBJECT
};
QTEST_MAIN(AppShellTest)
#include "AppShellTest.moc"
