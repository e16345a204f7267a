#include "platform/Gui_Services.h"

namespace plotvane {

QString Message_Title(TMessage_Kind kind)
{
    switch (kind) {
    case TMessage_Kind::Error:
        return QStringLiteral("Error");
    case TMessage_Kind::Warning:
        return QStringLiteral("Warning");
    case TMessage_Kind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

TMessage_Answer Closing_Answer(TMessage_Buttons buttons)
{
    return buttons == TMessage_Buttons::Yes_No || buttons == TMessage_Buttons::Yes_No_Default_No
               ? TMessage_Answer::No
               : TMessage_Answer::Cancel;
}

TMessage_Answer Show_Message(TGui_Services& services, QWidget* owner, TMessage_Kind kind,
                             const QString& text, TMessage_Buttons buttons)
{
    return services.Message_Box(owner, kind, Message_Title(kind), text, buttons);
}

} // namespace plotvane
