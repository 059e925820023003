#include "ui/question_box.h"

#include <utility>
#include <vector>

#include <QMessageBox>
#include <QPushButton>

namespace verandol {

namespace {

QuestionInterceptor& Interceptor() {
    static QuestionInterceptor interceptor;
    return interceptor;
}

}  // namespace

QuestionInterceptor SetQuestionInterceptor(QuestionInterceptor interceptor) {
    return std::exchange(Interceptor(), std::move(interceptor));
}

int AskQuestion(QWidget* parent, const AskedQuestion& question) {
    const int cancel = static_cast<int>(question.answers.size()) - 1;
    if (Interceptor()) {
        const int answer = Interceptor()(question);
        return answer >= 0 && answer <= cancel ? answer : cancel;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Verandol"), question.text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> buttons;
    for (int i = 0; i <= cancel; ++i)
        buttons.push_back(box.addButton(question.answers[i], i == cancel ? QMessageBox::RejectRole
                                                                         : QMessageBox::AcceptRole));
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
        box.setEscapeButton(buttons.back());
    }
    box.exec();
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i)
        if (box.clickedButton() == buttons[static_cast<std::size_t>(i)]) return i;
    return cancel;
}

}  // namespace verandol
