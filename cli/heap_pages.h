#pragma once

namespace orvalis::cli {

// Has the C library's heap serve every thread from address space that the
// kernel backs with large pages (2 MiB, where the system allows them): a scan
// fills tens of megabytes with words and results, and each first touch of a
// small page costs a trap into the kernel. Sets aside 256 MiB of address
// space, not memory: a page is taken when first written. Call first thing in
// main, before any thread starts; does nothing where the C library or the
// system lacks the means, or where the address space is limited.
void useLargePagesForHeap();

}  // namespace orvalis::cli
