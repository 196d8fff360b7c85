#include "gui/widgets/LabeledValue.h"

#include "resources/ResourceIds.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGridLayout>

#include <mutex>

namespace {

// What screen readers see of a ValueLabel: a static text whose name is its
// caption and the text on show ("Run Status: Connected") and whose value and
// description are the text on show. The name carries the text because the
// desktop's accessibility bus passes no value for static texts: a reader
// that reads names only still hears the value.
class AccessibleValueLabel : public QAccessibleWidget {
public:
    explicit AccessibleValueLabel(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const ValueLabel*>(widget());
        switch (t) {
        case QAccessible::Name:
            return label->SpokenName();
        case QAccessible::Value:
        case QAccessible::Description:
            return label->text();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* ValueLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ValueLabel") && object && object->isWidgetType())
        return new AccessibleValueLabel(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

ValueLabel::ValueLabel(const QString& caption, QWidget* parent)
    : QLabel(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(ValueLabelFactory); });
    setAccessibleName(CaptionName(caption));
}

void ValueLabel::setText(const QString& text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    // Both the name and the value changed; readers announce either.
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent descriptionChanged(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionChanged);
    QAccessibleValueChangeEvent valueChanged(this, text);
    QAccessible::updateAccessibility(&valueChanged);
}

QString ValueLabel::SpokenName() const
{
    const QString shown = text().trimmed();
    return shown.isEmpty() ? accessibleName() : accessibleName() + QStringLiteral(": ") + shown;
}

QString ValueLabel::CaptionName(const QString& caption)
{
    QString name = caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

LabeledValue MakeLabeledValue(const QString& caption, int valueId, QWidget* parent, const QString& text)
{
    LabeledValue pair;
    pair.caption = new QLabel(caption, parent);
    pair.value = new ValueLabel(caption, parent);
    if (valueId != 0)
        pair.value->setObjectName(ControlName(valueId));
    pair.value->setText(text);
    pair.caption->setBuddy(pair.value);
    return pair;
}

LabeledValue AddLabeledValue(QGridLayout* grid, int row, int column, const QString& caption, int valueId,
                             QWidget* parent, const QString& text)
{
    LabeledValue pair = MakeLabeledValue(caption, valueId, parent, text);
    grid->addWidget(pair.caption, row, column);
    grid->addWidget(pair.value, row, column + 1);
    return pair;
}
