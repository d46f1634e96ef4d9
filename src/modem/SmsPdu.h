#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <expected>
#include <optional>
#include <vector>

namespace modem {

// Readers for messages the SIM lists in PDU mode (AT+CMGF=0). Pure functions: the modem's bytes are
// untrusted, so every input either decodes or is refused with a reason, and nothing reads beyond it.

// One part of a concatenated SMS (TS 23.040 9.2.3.24.1 IEI 0x00, 8-bit reference; 9.2.3.24.8 IEI 0x08, 16-bit).
struct SmsConcat
{
    int reference = 0; // 0..255 or 0..65535
    int total = 0;     // parts in the set, >= 1
    int sequence = 0;  // this part, 1..total
    bool sixteenBitReference = false;
};

struct SmsPdu
{
    enum class Kind { Deliver, Submit };
    enum class Coding { Gsm7, EightBit, Ucs2 };
    Kind kind = Kind::Deliver;
    QString serviceCentre; // "+491770610000", or empty when the SMSC length octet is 0
    QString address;       // originator of a DELIVER, destination of a SUBMIT: "+" then digits for
                           // international (TON 1); digits as they stand otherwise; alphanumeric
                           // (TON 5) decoded from GSM 7-bit packing
    int addressType = 129; // the type-of-address octet (145, 129, 0xD0 ...)
    bool isAlphanumeric() const; // TON == 5
    // DELIVER only: the time stamp with its zone as offset from UTC (years 00..99 are 2000..2099).
    // Invalid for a SUBMIT, and also when the octets are no date and time: the text matters more
    // than its time, so a garbled stamp does not cost the message.
    QDateTime serviceCentreTime;
    int protocolId = 0;
    int dataCodingScheme = 0;
    Coding coding = Coding::Gsm7;
    // The user data decoded (header left out). UCS2 with an odd octet count loses its last octet,
    // half a character that cannot be shown; an unpaired surrogate becomes U+FFFD.
    QString text;
    std::optional<SmsConcat> concat;
};

// A PDU as the modem lists it in PDU mode: hex, starting with the service-centre information.
// Refused (with a short reason such as "odd number of hex digits", "truncated user data") when it is
// not a well-formed SMS-DELIVER or SMS-SUBMIT. Whitespace around the hex is allowed.
std::expected<SmsPdu, QString> decodeSmsPdu(QStringView hex);

// "+CMGL: <index>,<stat>,[<alpha>],<length>" then one line of hex, per entry (TS 27.005 3.4.2, PDU mode).
struct PduListingEntry
{
    int index = 0;
    int status = 0; // 0 REC UNREAD, 1 REC READ, 2 STO UNSENT, 3 STO SENT
    QString pdu;    // the hex line
};
struct PduListing
{
    std::vector<PduListingEntry> entries;
    QStringList framingErrors; // one readable line per entry or line that did not fit, for the log
};
// `lines` are the information lines of the answer, final result already taken off, blank lines
// dropped. A header must be followed directly by exactly one hex line; a header whose next line is
// not hex, a hex line without a header, a header with a bad index/stat/length, or a hex line whose
// length in octets (after the SMSC part) disagrees with <length>, is a framing error for that entry
// and gives no entry. Parsing resumes at the next "+CMGL: " header.
PduListing parsePduListing(const QStringList& lines);

// The status names the screens show: 0..3 -> "REC UNREAD", "REC READ", "STO UNSENT", "STO SENT"; else "".
QString simStatusName(int status);

} // namespace modem
