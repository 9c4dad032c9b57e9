#include "Appearance.h"

#include <cmath>
#include <optional>

namespace sv {

namespace {

bool isIntegerType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

std::optional<double> carriedNumber(const QVariant &carried)
{
    const int typeId = carried.metaType().id();
    if (typeId != QMetaType::Double && typeId != QMetaType::Float && !isIntegerType(typeId))
        return std::nullopt;
    const double value = carried.toDouble();
    // A NaN or infinite size would poison the bar's geometry and the font.
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

AppearanceEffect store(double &field, const QVariant &carried, AppearanceEffect effect)
{
    const std::optional<double> value = carriedNumber(carried);
    if (!value)
        return AppearanceEffect::nothing;
    field = *value;
    return effect;
}

} // namespace

AppearanceEffect Appearance::selectTheme(const QVariant &carried, int themeCount)
{
    if (!isIntegerType(carried.metaType().id()))
        return AppearanceEffect::nothing;
    bool ok = false;
    const qlonglong index = carried.toLongLong(&ok);
    // An index outside the list would make every later theme lookup read
    // past its end; such an item is treated like one of the wrong kind.
    if (!ok || index < 0 || index >= themeCount)
        return AppearanceEffect::nothing;
    themeIndex = int(index);
    return AppearanceEffect::applyTheme;
}

AppearanceEffect Appearance::selectFontSize(const QVariant &carried)
{
    return store(fontSize, carried, AppearanceEffect::restyleText);
}

AppearanceEffect Appearance::selectWidthFraction(const QVariant &carried)
{
    return store(widthFraction, carried, AppearanceEffect::placeBar);
}

AppearanceEffect Appearance::selectBarHeight(const QVariant &carried)
{
    return store(barHeight, carried, AppearanceEffect::placeBar);
}

} // namespace sv
