// The first Apple event a launched player is handed on its command line, as hexadecimal text:
// text that is not whole hexadecimal bytes is refused, what is taken writes back as the same
// text, and the event it holds is answered like any other.
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEReceive.h"
#include "platform/Foundation/Workspace.h"
#include "player/EventDispatcher.h"
#include "player/PlayerModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromLocal8Bit(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList arguments{
        QStringLiteral("player-standin"),
        QString::fromLatin1(kLaunchAppleEventOption.data(), qsizetype(kLaunchAppleEventOption.size())), text};
    const std::optional<std::vector<uint8_t>> event = NSWorkspace::launchAppleEventFromArguments(arguments);
    if (!event) return 0;
    if (QString::fromStdString(NSWorkspace::launchAppleEventArgument(*event)) != text.toLower()) std::abort();

    using namespace player;
    PlayerModel model(MusicLibrary(), VersionProfile::forVersion("10.6.3"),
                      std::make_shared<ManualPlaybackClock>());
    EventDispatcher dispatcher(model);
    (void)AEAnswerFlattenedEvent(*event, dispatcher.handler());
    return 0;
}
