// The crash dialog, the web page, the reproduction request and sending joined to the report flow.
// A program that links this library (it comes with qcrash_reporter_win) has them filled in at
// start-up; a program that links only the capture keeps the plain box and sends nothing.
#pragma once

#include "crash/sending/send_report.h"

namespace quillan::crash {

class TReportDriver;
class TWinCapturePlatform;

// The host program's events around sending. Each runs where the report's other events run (the
// thread waiting for the report, through the synchronised-call slot); what one raises is swallowed.
// Read at each send; set them before an exception can come.
TSendEvents& MishapLogSendEvents();

// Fills platform's presentation hooks with the real dialog, web page, request and sending;
// warnings go to driver's Warn with the failing step's code.
void InstallPresentation(TWinCapturePlatform& platform, TReportDriver& driver);

}  // namespace quillan::crash
