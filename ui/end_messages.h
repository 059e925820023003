// What the window says when a scan or a recovery ends, so no end passes in
// silence: a person who pressed a button learns how it went.
#pragma once

#include <QString>

namespace verandol {

// How a scan that did not fail ended: stopped, with `listed` rows so far, or
// with no deleted file found; empty when it found some and ran to its end.
QString ScanEndMessage(bool stopped, int listed, int deleted, bool deep);

// How a recovery of `ticked` rows ended, `recovered` of them in full into
// `folder`; `report` is the account of what went wrong, empty when nothing did.
QString RecoveryEndMessage(bool stopped, int ticked, int recovered, const QString& folder, const QString& report);

// The question asked when the filter hides `hidden` of the ticked rows.
QString HiddenTickedQuestion(int ticked, int hidden);

}  // namespace verandol
