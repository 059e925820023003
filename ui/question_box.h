// A question with buttons of its own, asked through one place so tests can
// answer it without running a modal loop.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QWidget;

namespace verandol {

struct AskedQuestion {
    QString text;
    QStringList answers;  // the buttons, left to right; the last one cancels
};

// While set, questions are handed to `interceptor`, whose answer is the
// index of the button pressed. Returns the interceptor it replaces.
using QuestionInterceptor = std::function<int(const AskedQuestion&)>;
QuestionInterceptor SetQuestionInterceptor(QuestionInterceptor interceptor);

// A modal box captioned "Verandol" over `parent`; the index of the answer
// chosen, the last one when the box is closed or Escape is pressed.
int AskQuestion(QWidget* parent, const AskedQuestion& question);

}  // namespace verandol
