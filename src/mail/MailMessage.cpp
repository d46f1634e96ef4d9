#include "MailMessage.h"

#include <gmime/gmime.h>

#include <QSysInfo>

#include <mutex>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one GObject reference.
template <typename T> struct GRef
{
    T* p = nullptr;
    explicit GRef(T* object) : p(object) {}
    ~GRef()
    {
        if (p != nullptr)
            g_object_unref(p);
    }
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
};

QString fromUtf8(const char* text)
{
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

// Depth-first, so the plain alternative of a multipart message is found wherever it sits.
GMimeTextPart* firstPlainTextPart(GMimeObject* object)
{
    if (object == nullptr)
        return nullptr;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            if (GMimeTextPart* found = firstPlainTextPart(g_mime_multipart_get_part(multipart, i)))
                return found;
        }
        return nullptr;
    }
    if (!GMIME_IS_TEXT_PART(object))
        return nullptr;
    const char* disposition = g_mime_object_get_disposition(object);
    if (disposition != nullptr && g_ascii_strcasecmp(disposition, "attachment") == 0)
        return nullptr;
    if (!g_mime_content_type_is_type(g_mime_object_get_content_type(object), "text", "plain"))
        return nullptr;
    return GMIME_TEXT_PART(object);
}

} // namespace

ParsedMail parseMail(const QByteArray& raw)
{
    ensureGMime();
    ParsedMail parsed;
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    GRef<GMimeMessage> message(g_mime_parser_construct_message(parser.p, nullptr));
    if (message.p == nullptr)
        return parsed;

    if (InternetAddressList* from = g_mime_message_get_from(message.p);
        from != nullptr && internet_address_list_length(from) > 0) {
        InternetAddress* address = internet_address_list_get_address(from, 0);
        parsed.fromName = fromUtf8(internet_address_get_name(address));
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            parsed.fromAddress = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
    parsed.subject = fromUtf8(g_mime_message_get_subject(message.p));
    if (GDateTime* date = g_mime_message_get_date(message.p))
        parsed.date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date)).toLocalTime();

    GMimeObject* body = g_mime_message_get_mime_part(message.p);
    if (body != nullptr) {
        char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(body));
        parsed.contentType = fromUtf8(type);
        g_free(type);
        if (GMimeTextPart* text = firstPlainTextPart(body)) {
            char* utf8 = g_mime_text_part_get_text(text);
            parsed.textBody = fromUtf8(utf8);
            g_free(utf8);
        }
    }
    return parsed;
}

QByteArray buildMail(const OutgoingMail& mail)
{
    ensureGMime();
    GRef<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.p, GMIME_ADDRESS_TYPE_FROM, nullptr, mail.from.toUtf8().constData());
    g_mime_message_add_mailbox(message.p, GMIME_ADDRESS_TYPE_TO, nullptr, mail.to.toUtf8().constData());
    g_mime_message_set_subject(message.p, mail.subject.toUtf8().constData(), "utf-8");
    const QDateTime when = mail.date.isValid() ? mail.date : QDateTime::currentDateTime();
    GDateTime* date = g_date_time_new_from_unix_local(when.toSecsSinceEpoch());
    g_mime_message_set_date(message.p, date);
    g_date_time_unref(date);
    char* messageId = g_mime_utils_generate_message_id(QSysInfo::machineHostName().toUtf8().constData());
    g_mime_message_set_message_id(message.p, messageId);
    g_free(messageId);

    // The text goes in as UTF-8 bytes: g_mime_text_part_set_text would pick a charset of
    // its own (Latin-1 for "Grüße"), and SMS gateways expect UTF-8.
    GMimeTextPart* text = g_mime_text_part_new_with_subtype("plain");
    const QByteArray utf8 = mail.body.toUtf8();
    GRef<GMimeStream> content(g_mime_stream_mem_new_with_buffer(utf8.constData(), size_t(utf8.size())));
    GRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(content.p, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(text), wrapper.p);
    g_mime_text_part_set_charset(text, "utf-8");
    g_mime_part_set_content_encoding(GMIME_PART(text), mail.encodeType == EncodeType::UuEncode
                                                           ? GMIME_CONTENT_ENCODING_UUENCODE
                                                           : g_mime_part_get_best_content_encoding(
                                                                 GMIME_PART(text), GMIME_ENCODING_CONSTRAINT_7BIT));
    g_mime_message_set_mime_part(message.p, GMIME_OBJECT(text));
    g_object_unref(text);

    // SMTP wants CR LF line ends.
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    char* wire = g_mime_object_to_string(GMIME_OBJECT(message.p), options);
    g_mime_format_options_free(options);
    QByteArray result(wire);
    g_free(wire);
    return result;
}

} // namespace mail
