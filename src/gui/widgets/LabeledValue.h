#pragma once

#include <QLabel>

class QGridLayout;

// A value text that screen readers announce with its caption: its
// accessible name is the caption without the colon followed by the text on
// show ("Run Status: Connected"), and its accessible value and description
// are the text on show ("Connected"). Set the text with setText through a
// ValueLabel pointer, which also tells screen readers that the name and the
// value changed. accessibleName() stays the caption alone.
class ValueLabel : public QLabel {
    Q_OBJECT
public:
    // `caption` may end in a colon ("Run Status:"); the name leaves it out.
    explicit ValueLabel(const QString& caption, QWidget* parent = nullptr);

    void setText(const QString& text);

    // What a screen reader reads as the name: "Run Status: Connected", or
    // the caption alone while no text is on show.
    QString SpokenName() const;

    // "Run Status:" -> "Run Status".
    static QString CaptionName(const QString& caption);
};

// A caption label and its value, side by side as the statistics page and
// the execution panels show them. The caption's buddy is the value, so
// assistive tools also see which caption labels it.
struct LabeledValue {
    QLabel* caption = nullptr;
    ValueLabel* value = nullptr;
};

// Makes the pair; the value gets objectName ControlName(valueId) when
// valueId is not 0 and starts with `text`.
LabeledValue MakeLabeledValue(const QString& caption, int valueId, QWidget* parent, const QString& text = {});

// Makes the pair and puts the caption into (row, column) of `grid` and the
// value into (row, column + 1). Typical use on a page:
//   ValueLabel* status = AddLabeledValue(grid, 2, 0, "Run Status:", rid::IDC_RUN_STATUS, group,
//                                        "Not Available").value;
//   status->setText("Connected");
LabeledValue AddLabeledValue(QGridLayout* grid, int row, int column, const QString& caption, int valueId,
                             QWidget* parent, const QString& text = {});
