// The advisor window with a state no game reaches: the chip held beside a free Quintor box. The
// click goes through the application's event handling, where an error would become a box.
#include <QMouseEvent>

#include "AppTestSupport.h"
#include "app/advisor.h"

namespace {

void Click(QPushButton* button) {
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QApplication::sendEvent(button, &release);
}

TEST(Advisor, AChipBesideAFreeQuintorBoxIsIgnoredWithoutAnErrorBox) {
    Trainer t;
    t.main->NewAdvisorButton->click();
    auto* a = t.main->findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    a->show();
    auto analyze = [a](const std::string& state) {
        a->Init(state);
        Click(Find<QPushButton>(a, "AnalyzeButton"));
        return Find<QPlainTextEdit>(a, "txtAdvice")->toPlainText().toStdString();
    };
    const std::string held = analyze("_2_45_T_H__QC;5+ 120 66___;2");
    EXPECT_TRUE(t.dialogs.Texts(ScriptedDialogs::ErrorKind).empty()) << t.dialogs.Last();
    EXPECT_EQ(held.substr(0, held.find('\n')), "56 options");   // every roll of the three dice not kept
    EXPECT_EQ(held, analyze("_2_45_T_H__QC;5- 120 66___;2"));
}

}  // namespace
