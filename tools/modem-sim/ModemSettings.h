#pragma once

#include "CharacterSet.h"

#include <QString>

#include <array>

namespace modemsim {

// What the terminal has set; ATZ and AT&F bring every one of them back to these values. The command families
// share this one record because a setting made in one family changes the answers of another (+CSCS the strings
// of all of them, ATV and +CMEE the result codes).
struct ModemSettings
{
    bool echo = true;                                          // ATE
    bool verbose = true;                                       // ATV
    bool quiet = false;                                        // ATQ
    int errorReports = 0;                                      // +CMEE
    int flowControl = 2;                                       // +FLO
    std::array<int, 2> localFlowControl = {2, 2};              // +IFC
    CharacterSet::Kind characterSet = CharacterSet::Gsm;       // +CSCS
    bool callerId = false;                                     // +CLIP
    int registrationReports = 0;                               // +CREG
    int operatorFormat = 0;                                    // +COPS
    int functionality = 1;                                     // +CFUN
    bool textMode = false;                                     // +CMGF
    bool showHeaders = false;                                  // +CSDH
    int messageService = 0;                                    // +CSMS
    std::array<int, 5> newMessageIndication = {0, 0, 0, 0, 0}; // +CNMI
    QString serviceCentre = QStringLiteral("+491770610000");   // +CSCA
    int serviceCentreType = 145;
    // +CSMP: the first octet, the validity period, the protocol identifier and the data coding
    std::array<int, 4> submitParameters = {17, 167, 0, 0};
};

} // namespace modemsim
