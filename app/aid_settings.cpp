#include "app/aid_settings.h"

#include <QSettings>
#include <utility>

namespace app {
namespace {

using radar::AidSettings;

// Every setting under its key in the file's [aids] group.
constexpr std::pair<const char*, bool AidSettings::*> kFlags[] = {
    {"wheelAndPan", &AidSettings::wheelAndPan},
    {"rings", &AidSettings::rings},
    {"trails", &AidSettings::trails},
    {"filter", &AidSettings::filter},
    {"conflicts", &AidSettings::conflicts},
    {"declutter", &AidSettings::declutter},
    {"speedLine", &AidSettings::speedLine},
    {"vectors", &AidSettings::vectors},
    {"centrelines", &AidSettings::centrelines},
    {"rangeBearing", &AidSettings::rangeBearing},
    {"owners", &AidSettings::owners},
    {"controllerAirports", &AidSettings::controllerAirports}};
constexpr std::pair<const char*, int AidSettings::*> kNumbers[] = {
    {"filterLowFt", &AidSettings::filterLowFt},
    {"filterHighFt", &AidSettings::filterHighFt},
    {"conflictVerticalFt", &AidSettings::conflictVerticalFt},
    {"airborneSpeedKt", &AidSettings::airborneSpeedKt},
    {"airborneHeightFt", &AidSettings::airborneHeightFt},
    {"lookAheadSeconds", &AidSettings::lookAheadSeconds},
    {"historyDots", &AidSettings::historyDots},
    {"historySeconds", &AidSettings::historySeconds},
    {"vectorMinutes", &AidSettings::vectorMinutes}};
constexpr const char* kLateral = "conflictLateralNm";

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvolo"),
                     QStringLiteral("tarvolo"));
}

AidSettings Load() {
    QSettings store = Store();
    store.beginGroup(QStringLiteral("aids"));
    AidSettings aids;
    for (const auto& [key, member] : kFlags)
        aids.*member = store.value(QLatin1String(key), aids.*member).toBool();
    for (const auto& [key, member] : kNumbers)
        aids.*member = store.value(QLatin1String(key), aids.*member).toInt();
    aids.conflictLateralNm =
        store.value(QLatin1String(kLateral), aids.conflictLateralNm).toDouble();
    // A file edited by hand, or written by another version, cannot ask the impossible.
    radar::CheckAidSettings(aids);
    return aids;
}

AidSettings& Current() {
    static AidSettings aids = Load();
    return aids;
}

}  // namespace

AidSettings& Aids() {
    return Current();
}

CoordinationSettings LoadCoordination() {
    QSettings store = Store();
    store.beginGroup(QStringLiteral("coordination"));
    CoordinationSettings settings;
    settings.on = store.value(QStringLiteral("on"), false).toBool();
    // A position is one word of letters, digits and underscores, as the Options box allows.
    settings.position = store.value(QStringLiteral("position")).toString().trimmed().left(16);
    if (settings.position.contains(QChar(' ')))
        settings.position.clear();
    settings.frequency = store.value(QStringLiteral("frequency")).toString().trimmed().left(16);
    return settings;
}

CoordinationSettings& CurrentCoordination() {
    static CoordinationSettings settings = LoadCoordination();
    return settings;
}

void ReloadAids() {
    Current() = Load();
    CurrentCoordination() = LoadCoordination();
}

CoordinationSettings& Coordination() {
    return CurrentCoordination();
}

void SaveCoordination() {
    const CoordinationSettings& settings = CurrentCoordination();
    QSettings store = Store();
    store.beginGroup(QStringLiteral("coordination"));
    store.setValue(QStringLiteral("on"), settings.on);
    store.setValue(QStringLiteral("position"), settings.position);
    store.setValue(QStringLiteral("frequency"), settings.frequency);
    store.endGroup();
    store.sync();
}

void SaveAids() {
    const AidSettings& aids = Current();
    QSettings store = Store();
    store.beginGroup(QStringLiteral("aids"));
    for (const auto& [key, member] : kFlags)
        store.setValue(QLatin1String(key), aids.*member);
    for (const auto& [key, member] : kNumbers)
        store.setValue(QLatin1String(key), aids.*member);
    store.setValue(QLatin1String(kLateral), aids.conflictLateralNm);
    store.endGroup();
    store.sync();
}

}  // namespace app
