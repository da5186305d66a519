#include "api/frame_driver.h"

#include <zoncore/threads.h>

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <boost/core/ref.hpp>
#include <boost/function.hpp>

#include "core/h264_decoder.h"
#include "syntax/annexb.h"
#include "syntax/nal_unit.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

std::optional<ParsedSliceHeader> readHeader(const H264Decoder& core, const unsigned char* data,
                                            const WorkItem& item) {
  StreamParser parser(data + item.offset, item.length);
  ParsedSliceHeader parsed;
  try {
    parseSliceHeader(parser, core.parameters(), nalRefIdc(item.nalHeader),
                     nalUnitType(item.nalHeader), parsed.header, parsed.active);
  } catch (int) {
    return std::nullopt;
  }
  parsed.dataOffset = parser.bitOffset();
  return parsed;
}

// 0 for a frame, 1 for a top field, 2 for a bottom field.
int structureOf(const SliceHeader& h) { return h.field_pic_flag ? 1 + h.bottom_field_flag : 0; }

// Decodes slice `index` of `items`; errors stay inside the decoder core.
void decodeSliceTask(int index, H264Decoder* core, unsigned char* data,
                     const std::vector<WorkItem>& items) {
  const WorkItem& item = items[static_cast<std::size_t>(index)];
  if (item.slice) {
    core->decodeSlice(data + item.offset, index, item.length, *item.slice, item.endMb);
  } else {
    // The header fails again, and the failure is recorded like any other.
    core->decodeSlice(data + item.offset, index, item.length,
                      static_cast<unsigned char>(nalRefIdc(item.nalHeader)),
                      nalUnitType(item.nalHeader));
  }
}

}  // namespace

SliceScan scanSlices(unsigned char* data, int size, int maxSlices) {
  SliceScan scan;
  if (!data || size <= 0) return scan;
  std::size_t length = static_cast<std::size_t>(size);
  std::size_t read = 0;
  std::size_t write = 0;
  auto codedSlice = [](std::uint8_t header) { return isCodedSlice(header) != 0; };
  for (;;) {
    std::size_t header = findNalUnit(data, length, read, codedSlice);
    if (header == length) break;
    if (static_cast<int>(scan.items.size()) == maxSlices) {
      ++scan.ignored;
      read = header + 1;
      continue;
    }
    std::uint8_t nalHeader = data[header];
    UnescapedNal nal = unescapeInPlace(data, length, header + 1, write);
    WorkItem& item = scan.items.emplace_back();
    item.offset = static_cast<std::int32_t>(write);
    item.length = static_cast<std::uint32_t>(nal.length);
    item.nalHeader = nalHeader;
    read = nal.end;
    write = (write + nal.length + 3) & ~std::size_t{3};
  }
  return scan;
}

bool FrameDriver::prime(unsigned char* data, int size) {
  if (core_.mode() == DecodeMode::kConformant) {
    return core_.readEveryParameterSet(data, size).sequence > 0;
  }
  if (!core_.readParameterSets(data, size)) return false;
  core_.allocatePicture();
  return true;
}

void FrameDriver::decodeFrame(unsigned char* data, int size) {
  if (core_.mode() == DecodeMode::kConformant) return decodeConformant(data, size);
  SliceScan scan = scanSlices(data, size, kSlicesPerFrame);
  readSliceHeaders(data, scan.items);
  FrameReport report;
  report.slicesDecoded = scan.items.size();
  report.slicesIgnored = static_cast<std::size_t>(scan.ignored);
  decodeSlices(data, scan.items, report);
}

// The picture follows the first slice that names usable parameter sets.
void FrameDriver::decodeConformant(unsigned char* data, int size) {
  FrameReport report;
  report.malformedParameterSets = core_.readEveryParameterSet(data, size).malformed;
  SliceScan scan = scanSlices(data, size, kUnlimitedSlices);
  readSliceHeaders(data, scan.items);
  auto readable = std::find_if(scan.items.begin(), scan.items.end(),
                               [](const WorkItem& item) { return item.slice.has_value(); });
  if (readable == scan.items.end()) {
    report.noPicture = !scan.items.empty();
    decodeSlices(data, scan.items, report);  // records each slice's failure
    return;
  }
  core_.allocatePictureFor(*readable->slice->active.sps);
  report.slicesDecoded = scan.items.size();
  decodeSlices(data, scan.items, report);
  deblockPicture();
}

void FrameDriver::readSliceHeaders(const unsigned char* data, std::vector<WorkItem>& items) const {
  // Only slices whose headers read correctly count: stray bytes that merely
  // look like a slice must not cut an intact one short.
  std::optional<bool> fields;
  for (WorkItem& item : items) {
    item.slice = readHeader(core_, data, item);
    if (!item.slice) continue;
    const bool field = item.slice->header.field_pic_flag != 0;
    if (!fields) fields = field;
    if (field != *fields) item.slice.reset();
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].slice) continue;
    const SliceHeader& mine = items[i].slice->header;
    for (std::size_t j = 0; j < items.size(); ++j) {
      if (j == i || !items[j].slice) continue;
      const SliceHeader& other = items[j].slice->header;
      if (structureOf(other) != structureOf(mine)) continue;
      // Of two slices that claim the same start, the later one gets none.
      const bool after = other.first_mb_in_slice > mine.first_mb_in_slice ||
                         (other.first_mb_in_slice == mine.first_mb_in_slice && j < i);
      if (after) items[i].endMb = std::min(items[i].endMb, other.first_mb_in_slice);
    }
  }
}

void FrameDriver::decodeSlices(unsigned char* data, const std::vector<WorkItem>& items,
                               const FrameReport& report) {
  core_.beginFrame(items.size(), report);
  if (items.empty()) return;
  using namespace boost::placeholders;
  boost::function<void(int)> task =
      boost::bind(decodeSliceTask, _1, &core_, data, boost::cref(items));
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(task, static_cast<int>(items.size()));
}

void FrameDriver::deblockPicture() {
  const int tasks = core_.beginDeblocking();
  if (tasks == 0) return;
  boost::function<void(int)> task = [this](int) { core_.deblockTask(); };
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(task, tasks);
}

}  // namespace H264
