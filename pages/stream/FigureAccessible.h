// What a live figure tells an assistive tool: its caption and its current value as one name, for example
// "Left channel count 4096", current whenever the figure's text changes.
#pragma once

class QLabel;
class QString;

// Makes `label` read as `caption` followed by its text. The label keeps no accessible name of its own,
// so each new text also tells a listening tool that the name changed.
void SpeakAsFigure(QLabel* label, const QString& caption);
