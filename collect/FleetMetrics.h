#pragma once

#include <QString>

#include "collect/Metrics.h"
#include "collect/Schedule.h"

namespace lumvaris::collect {

// The collector's metric names, in Prometheus' conventions (base units, `_total` for counters).
namespace metric {
inline constexpr const char* kSiteConnected = "lumvaris_site_connected";
inline constexpr const char* kSiteLastPacket = "lumvaris_site_last_packet_timestamp_seconds";
inline constexpr const char* kSitePackets = "lumvaris_site_packets_total";
inline constexpr const char* kSiteRecordsFiled = "lumvaris_site_records_filed_total";
inline constexpr const char* kSiteRequests = "lumvaris_site_requests_total";  // outcome
inline constexpr const char* kSiteReplySeconds = "lumvaris_site_reply_seconds";
inline constexpr const char* kSiteJobs = "lumvaris_site_jobs_total";  // job, result
inline constexpr const char* kDestinationQueued = "lumvaris_destination_records_queued";
inline constexpr const char* kDestinationSent = "lumvaris_destination_records_sent_total";
inline constexpr const char* kEventLoopLag = "lumvaris_event_loop_lag_seconds";
// The names every Prometheus client library gives these, so that existing dashboards find them.
inline constexpr const char* kStartTime = "process_start_time_seconds";
inline constexpr const char* kResidentMemory = "process_resident_memory_bytes";
}  // namespace metric

enum class RequestOutcome { Answered, NoReply, Refused };

// Label values.
QString OutcomeLabel(RequestOutcome outcome);  // "answered", "no_reply", "refused"
QString JobLabel(Job job);                     // "clock_check", "read_months", "read_packets"

// Declares every family above and sets the start time.
void DeclareFleetMetrics(Metrics& metrics);

// The resident memory of this process now (Linux: /proc/self/statm), for the render that follows.
void UpdateProcessMetrics(Metrics& metrics);

}  // namespace lumvaris::collect
