#include "api/frame_driver.h"

#include <zoncore/threads.h>

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <boost/function.hpp>

#include "core/h264_decoder.h"
#include "syntax/annexb.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

bool isCodedSlice(std::uint8_t header) {
  unsigned type = header & 0x1F;
  return type == 1 || type == 5;
}

}  // namespace

std::vector<WorkItem> scanSlices(unsigned char* data, int size, int maxSlices) {
  std::vector<WorkItem> items;
  if (!data || size <= 0) return items;
  std::size_t length = static_cast<std::size_t>(size);
  std::size_t read = 0;
  std::size_t write = 0;
  while (static_cast<int>(items.size()) < maxSlices) {
    std::size_t header = findNalUnit(data, length, read, isCodedSlice);
    if (header == length) break;
    std::uint8_t nalHeader = data[header];
    UnescapedNal nal = unescapeInPlace(data, length, header + 1, write);
    items.push_back({static_cast<std::int32_t>(write), static_cast<std::uint32_t>(nal.length),
                     nalHeader, kNoMacroblockLimit});
    read = nal.end;
    write = (write + nal.length + 3) & ~std::size_t{3};
  }
  return items;
}

void limitSlices(const H264Decoder& decoder, const unsigned char* data,
                 std::vector<WorkItem>& items) {
  // Only slices whose headers read correctly count: stray bytes that merely
  // look like a slice must not cut an intact one short.
  std::vector<std::uint32_t> firstMb(items.size(), kNoMacroblockLimit);
  for (std::size_t i = 0; i < items.size(); ++i) {
    StreamParser parser(data + items[i].offset, items[i].length);
    SliceHeader header;
    ActiveParameters active;
    try {
      parseSliceHeader(parser, decoder.parameters(), (items[i].nalHeader >> 5) & 3,
                       items[i].nalHeader & 31, header, active);
      firstMb[i] = header.first_mb_in_slice;
    } catch (int) {
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = 0; j < items.size(); ++j) {
      // Of two slices that claim the same start, the later one gets none.
      bool after = firstMb[j] > firstMb[i] || (firstMb[j] == firstMb[i] && j < i);
      if (j != i && after) items[i].endMb = std::min(items[i].endMb, firstMb[j]);
    }
  }
}

void decodeSliceTask(int index, H264Decoder* decoder, unsigned char* data,
                     const std::vector<WorkItem>& items) {
  const WorkItem& item = items[static_cast<std::size_t>(index)];
  decoder->decodeSlice(data + item.offset, index, item.length,
                       static_cast<unsigned char>((item.nalHeader >> 5) & 3), item.nalHeader & 31,
                       item.endMb);
}

void decodeSlices(H264Decoder& decoder, unsigned char* data, int size) {
  decoder.beginFrame();
  std::vector<WorkItem> items = scanSlices(data, size);
  if (items.empty()) return;
  limitSlices(decoder, data, items);
  using namespace boost::placeholders;
  boost::function<void(int)> task = boost::bind(decodeSliceTask, _1, &decoder, data, items);
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(task, static_cast<int>(items.size()));
}

void decodeFrame(AVCIntraInfo* handle, unsigned char* data, int size) {
  decodeSlices(*handle->decoder, data, size);
  handle->decoder->getPlanes(handle);
}

}  // namespace H264
