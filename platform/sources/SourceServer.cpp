#include "platform/sources/SourceServer.h"

#include <algorithm>
#include <utility>

namespace platform::sources {
namespace {

ClientBatch Failed(std::uint32_t status) {
  ClientBatch batch;
  batch.status = status;
  return batch;
}

bool Succeeded(std::uint32_t status) {
  return status == dhcp_status::kSuccess || status == dhcp_status::kMoreData;
}

}  // namespace

SourceServer::SourceServer(std::unique_ptr<LeaseSource> source) : source_(std::move(source)) {}

SourceReply<SourceVersion> SourceServer::GetVersion() {
  return source_->GetVersion();
}

std::uint32_t SourceServer::RememberSubnets() {
  SourceReply<std::vector<Ipv4Prefix>> reply = source_->GetSubnets();
  if (reply.status != dhcp_status::kSuccess) {
    return reply.status;
  }
  // A walk's ranges are those of the positions it started on.
  walk_.reset();
  positions_ = SubnetPositions(reply.value);
  return dhcp_status::kSuccess;
}

SourceReply<std::vector<DHCP_IP_ADDRESS>> SourceServer::GetSubnets() {
  std::uint32_t status = RememberSubnets();
  if (status != dhcp_status::kSuccess) {
    return {status, {}};
  }
  return {dhcp_status::kSuccess, positions_.Addresses()};
}

const SubnetPositions::Position* SourceServer::FindPosition(DHCP_IP_ADDRESS subnet,
                                                            std::uint32_t& status) {
  status = dhcp_status::kSuccess;
  if (const SubnetPositions::Position* known = positions_.Find(subnet)) {
    return known;
  }
  status = RememberSubnets();
  if (status != dhcp_status::kSuccess) {
    return nullptr;
  }
  const SubnetPositions::Position* known = positions_.Find(subnet);
  if (known == nullptr) {
    status = dhcp_status::kSubnetNotPresent;
  }
  return known;
}

SourceServer::Walk SourceServer::StartWalk(const SubnetPositions::Position& position,
                                           DHCP_RESUME_HANDLE resume) const {
  Walk walk;
  walk.position = position.address;
  walk.resume = resume;
  walk.range = position.firstRange;
  walk.endRange = position.firstRange + position.rangeCount;
  std::span<const AddressRange> ranges = positions_.Ranges();
  const std::uint32_t from = position.address + resume;
  while (walk.range < walk.endRange && ranges[walk.range].last < from) {
    ++walk.range;
  }
  if (walk.range < walk.endRange) {
    walk.reading = {std::max(ranges[walk.range].first, from), ranges[walk.range].last};
  }
  return walk;
}

// One step of the walk's cursor, opened at its first step. What the cursor gives must lie in
// what it was asked for, in ascending order, and a step that promises more must have brought
// something: otherwise the walk could repeat, skip or never end.
std::uint32_t SourceServer::Step(Walk& walk, std::vector<SourceLease>& leases) {
  if (!walk.cursor) {
    walk.cursor = source_->ReadRange(walk.reading, positions_.Ranges().subspan(walk.range + 1));
  }
  const std::size_t before = leases.size();
  std::uint32_t status = walk.cursor->Next(leases);
  if (!Succeeded(status)) {
    return status;
  }
  for (std::size_t i = before; i < leases.size(); ++i) {
    std::uint32_t address = leases[i].address;
    if (address < walk.reading.first || address > walk.reading.last ||
        (walk.lastRead && address <= *walk.lastRead)) {
      return dhcp_status::kInvalidData;
    }
    walk.lastRead = address;
  }
  if (status == dhcp_status::kMoreData) {
    if (leases.size() == before) {
      return dhcp_status::kInvalidData;
    }
    if (*walk.lastRead == walk.reading.last) {
      status = dhcp_status::kSuccess;
    }
  }
  if (status == dhcp_status::kSuccess) {
    walk.cursor.reset();
    if (++walk.range < walk.endRange) {
      walk.reading = positions_.Ranges()[walk.range];
    }
  }
  return status;
}

ClientBatch SourceServer::GetClients(DHCP_IP_ADDRESS subnet, DHCP_RESUME_HANDLE resume) {
  std::uint32_t status = dhcp_status::kSuccess;
  const SubnetPositions::Position* position = FindPosition(subnet, status);
  if (position == nullptr) {
    return Failed(status);
  }
  if (resume > position->lastAddress - position->address) {
    return Failed(dhcp_status::kNoMoreItems);
  }
  Walk walk = walk_ && walk_->position == subnet && walk_->resume == resume
                  ? std::move(*walk_)
                  : StartWalk(*position, resume);
  walk_.reset();
  ClientBatch batch;
  while (walk.range < walk.endRange) {
    status = Step(walk, batch.leases);
    if (!Succeeded(status)) {
      return Failed(status);
    }
    if (!batch.leases.empty() && walk.range < walk.endRange) {
      batch.status = dhcp_status::kMoreData;
      batch.resume = batch.leases.back().address + 1 - position->address;
      walk.resume = batch.resume;
      walk_ = std::move(walk);
      break;
    }
  }
  if (batch.status == dhcp_status::kSuccess) {
    batch.resume = EndOf(*position);
  }
  batch.masks.reserve(batch.leases.size());
  for (const SourceLease& lease : batch.leases) {
    batch.masks.push_back(SubnetPositions::MaskAt(*position, lease.address));
  }
  return batch;
}

DHCP_RESUME_HANDLE SourceServer::EndOf(const SubnetPositions::Position& position) {
  std::uint32_t span = position.lastAddress - position.address;
  return span == 0xFFFFFFFFu ? span : span + 1;
}

}  // namespace platform::sources
