// CSmartMarshalingServer: the S.M.A.R.T. engine answering the requests of
// the socket server. Dispatch decodes one request, runs the engine operation
// and encodes exactly one response, also for an unknown or malformed
// request; the status in the response is the only error report.
//
// The device table maps the server ids of the last enumeration (code 0) to
// the records the engine handed out; the dispatcher owns them. Each
// enumeration replaces the table. The table serves every client, and the
// engine gives a drive it finds again the id it had, so one client's
// enumeration leaves the ids other clients hold valid; only the ids of
// drives that are gone are answered with status 4 (unknown device).
//
// Decisions of this dispatcher:
// - A request shorter than the 8-byte header has no code: it is answered by
//   a CSmartMarshalVoid with code kSmartNoCode (0xFFFFFFFF) and status 1.
// - An enumeration while a self-test runs: the engine refuses to enumerate
//   then. The table is kept (the running test stays reachable under its id,
//   so it can be followed and aborted) and the answer is status 5 with the
//   records of the table. Without a running test an engine that finds no
//   drive empties the table and answers status 0 with count 0.
//
// Threads: Dispatch runs on the socket server's message thread, one request
// after another; the table is touched only there. The engine lock
// serialises the engine operations with the engine's own threads.
#pragma once

#include <map>
#include <memory>

#include "archive/ZmArchive.h"
#include "engine/CSmartFliegendeUntertasse.h"
#include "marshal/SmartMarshalMessages.h"
#include "marshal/SmartRequestCodes.h"

class CSmartMarshalingServer : public CSmartFliegendeUntertasse {
public:
    CSmartMarshalingServer() = default;
    ~CSmartMarshalingServer() override;

    // Answers `request` into `response` (Reset first, positioned at its start
    // afterwards). False when the response carries status 1, 2 or 3.
    bool Dispatch(CZmArchive& request, CZmArchive& response);

    std::size_t TableSize() const { return m_table.size(); }

private:
    using Table = std::map<SmartServerId, std::unique_ptr<SmartDevice>>;

    // The handler of each request code: the response object with its status
    // and payload; Dispatch gives it the response code.
    std::unique_ptr<CSmartMarshalMessage> HandleGetDevices();
    std::unique_ptr<CSmartMarshalMessage> HandleDeviceOperation(DWORD code, SmartServerId id);
    std::unique_ptr<CSmartMarshalMessage> HandleReadLog(const CSmartMarshalReadLogRequest& request);
    std::unique_ptr<CSmartMarshalMessage> HandleSelfTest(const CSmartMarshalSelfTestRequest& request);
    std::unique_ptr<CSmartMarshalMessage> HandleReadSelfTestData(SmartServerId id);
    std::unique_ptr<CSmartMarshalMessage> Handle(DWORD code, CSmartMarshalMessage& request);

    // The request object of a code other than 0.
    static std::unique_ptr<CSmartMarshalMessage> NewRequest(DWORD code);
    static bool Answer(CZmArchive& response, DWORD code, DWORD status);

    SmartDevice* Find(SmartServerId id);
    bool SelfTestRunning();
    void ReplaceTable(SmartDevice* list);

    Table m_table;
};
