#include "documents/office_reader.h"

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "documents/zip_archive.h"

namespace orvalis::documents {
namespace {

// The name of an element without its namespace prefix: documents may choose
// their prefixes, and the readers below look only at elements whose local
// names they expect where they expect them.
std::string_view localName(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view attribute(const pugi::xml_node& node, std::string_view local) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    std::string_view name = a.name();
    const auto colon = name.find(':');
    if (colon != std::string_view::npos) name = name.substr(colon + 1);
    if (name == local) return a.value();
  }
  return {};
}

// Parses one XML part. A document type declaration is refused: it is the only
// way to declare entities, which are never expanded here.
std::string parseXml(std::string_view xml, pugi::xml_document& document, std::string_view part) {
  // Text holds "<" only escaped, so these can only be markup.
  if (xml.find("<!DOCTYPE") != std::string_view::npos ||
      xml.find("<!ENTITY") != std::string_view::npos) {
    return "its part " + std::string(part) + " declares XML entities, which are never expanded";
  }
  const pugi::xml_parse_result parsed = document.load_buffer(
      xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_utf8);
  if (!parsed) {
    return "its part " + std::string(part) + " is not well-formed XML (" + parsed.description() +
           ")";
  }
  return {};
}

std::string tooDeepReason(int depth) {
  return "it nests its elements deeper than " + std::to_string(depth) + " levels";
}

// Walks the XML of a Word document's part.
class WordWalker {
 public:
  WordWalker(TextBuilder& out, int maxDepth) : out_(out), maxDepth_(maxDepth) {}

  bool tooDeep() const { return tooDeep_; }

  // Block content: paragraphs, tables, content controls.
  void blocks(const pugi::xml_node& parent, int depth) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : parent.children()) {
      const std::string_view name = localName(child);
      if (name == "p") {
        paragraph(child, depth + 1);
      } else if (name == "tbl") {
        table(child, depth + 1);
      } else if (name == "sdt") {
        blocks(child.child(prefixed(child, "sdtContent").c_str()), depth + 1);
      } else if (name == "customXml" || name == "ins" || name == "moveTo" || name == "body" ||
                 name == "footnote" || name == "endnote" || name == "txbxContent" ||
                 name == "sdtContent") {
        blocks(child, depth + 1);
      } else if (name == "AlternateContent") {
        blocks(chosen(child), depth + 1);
      }
      if (tooDeep_) return;
    }
  }

 private:
  bool enter(int depth) {
    if (depth > maxDepth_) tooDeep_ = true;
    return !tooDeep_;
  }

  // The name of a sibling element in the same namespace prefix as `node`.
  static std::string prefixed(const pugi::xml_node& node, std::string_view local) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    std::string result(colon == std::string_view::npos ? "" : name.substr(0, colon + 1));
    return result.append(local);
  }

  // Of alternative renderings, the first choice; the fallback only without one.
  static pugi::xml_node chosen(const pugi::xml_node& alternates) {
    for (const pugi::xml_node& child : alternates.children()) {
      if (localName(child) == "Choice") return child;
    }
    for (const pugi::xml_node& child : alternates.children()) {
      if (localName(child) == "Fallback") return child;
    }
    return {};
  }

  void table(const pugi::xml_node& node, int depth) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& row : node.children()) {
      const std::string_view rowName = localName(row);
      if (rowName == "sdt" || rowName == "customXml") {
        table(rowName == "sdt" ? row.child(prefixed(row, "sdtContent").c_str()) : row, depth + 1);
        continue;
      }
      if (rowName != "tr") continue;
      for (const pugi::xml_node& cell : row.children()) {
        const std::string_view cellName = localName(cell);
        if (cellName == "tc") {
          blocks(cell, depth + 2);
          out_.endParagraph();  // cells never run into each other
        } else if (cellName == "sdt") {
          blocks(cell, depth + 2);
          out_.endParagraph();
        }
      }
    }
  }

  void paragraph(const pugi::xml_node& node, int depth) {
    std::vector<pugi::xml_node> boxes;
    inlines(node, depth, boxes);
    out_.endParagraph();
    // Text boxes after the paragraph that anchors them, not in its middle.
    for (const pugi::xml_node& box : boxes) {
      blocks(box, depth + 1);
      out_.endParagraph();
    }
  }

  // Inline content of a paragraph; text boxes met are added to `boxes`.
  void inlines(const pugi::xml_node& parent, int depth, std::vector<pugi::xml_node>& boxes) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : parent.children()) {
      const std::string_view name = localName(child);
      if (name == "r") {
        run(child, depth + 1, boxes);
      } else if (name == "del" || name == "moveFrom" || name == "pPr" || name == "rPr") {
        // Deleted text, and properties, are not text.
      } else if (name == "AlternateContent") {
        inlines(chosen(child), depth + 1, boxes);
      } else if (name == "fldSimple") {
        // The instruction is an attribute; the runs inside are the result.
        inlines(child, depth + 1, boxes);
      } else if (name == "oMath" || name == "oMathPara" || name == "e" || name == "num" ||
                 name == "den" || name == "sub" || name == "sup" || name == "deg" ||
                 name == "fName" || name == "lim") {
        inlines(child, depth + 1, boxes);
      } else if (!child.first_child().empty() && child.type() == pugi::node_element) {
        // Hyperlinks, insertions, moves here, smart tags, content controls.
        inlines(child, depth + 1, boxes);
      }
      if (tooDeep_) return;
    }
  }

  // Whether text now belongs to a field's shown result or to no field.
  bool showingText() const {
    for (const bool result : fields_) {
      if (!result) return false;
    }
    return true;
  }

  void run(const pugi::xml_node& node, int depth, std::vector<pugi::xml_node>& boxes) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : node.children()) {
      const std::string_view name = localName(child);
      if (name == "fldChar") {
        const std::string_view type = attribute(child, "fldCharType");
        if (type == "begin") {
          if (static_cast<int>(fields_.size()) >= maxDepth_) {
            tooDeep_ = true;
            return;
          }
          fields_.push_back(false);
        } else if (type == "separate" && !fields_.empty()) {
          fields_.back() = true;
        } else if (type == "end" && !fields_.empty()) {
          fields_.pop_back();
        }
        continue;
      }
      if (!showingText()) {
        continue;
      }
      if (name == "t") {
        for (const pugi::xml_node& text : child.children()) {
          if (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata) {
            out_.append(text.value());
          }
        }
      } else if (name == "tab" || name == "ptab") {
        out_.blank();
      } else if (name == "br" || name == "cr") {
        out_.endParagraph();
      } else if (name == "noBreakHyphen") {
        out_.appendCodePoint(U'-');
      } else if (name == "AlternateContent") {
        findBoxes(chosen(child), depth + 1, boxes);
      } else if (name == "drawing" || name == "pict" || name == "object") {
        findBoxes(child, depth + 1, boxes);
      }
      // delText and instrText are deleted text and field instructions;
      // softHyphen marks a possible break; the rest is formatting.
    }
  }

  // The text boxes inside a drawing, a picture or an alternate rendering.
  void findBoxes(const pugi::xml_node& node, int depth, std::vector<pugi::xml_node>& boxes) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : node.children()) {
      const std::string_view name = localName(child);
      if (name == "txbxContent") {
        boxes.push_back(child);
      } else if (name == "AlternateContent") {
        findBoxes(chosen(child), depth + 1, boxes);
      } else if (child.type() == pugi::node_element) {
        findBoxes(child, depth + 1, boxes);
      }
      if (tooDeep_) return;
    }
  }

  TextBuilder& out_;
  const int maxDepth_;
  bool tooDeep_ = false;
  // Fields open at this point: false while in a field's instruction, true in
  // its result. Fields nest and span runs and paragraphs.
  std::vector<bool> fields_;
};

// Walks the content of an OpenDocument text.
class OpenDocumentWalker {
 public:
  OpenDocumentWalker(TextBuilder& footnotes, TextBuilder& endnotes, int maxDepth)
      : footnotes_(footnotes), endnotes_(endnotes), maxDepth_(maxDepth) {}

  bool tooDeep() const { return tooDeep_; }

  void blocks(const pugi::xml_node& parent, TextBuilder& out, int depth) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : parent.children()) {
      const std::string_view name = localName(child);
      if (name == "p" || name == "h") {
        std::vector<pugi::xml_node> frames;
        inlines(child, out, depth + 1, frames);
        out.endParagraph();
        for (const pugi::xml_node& frame : frames) {
          blocks(frame, out, depth + 1);
          out.endParagraph();
        }
      } else if (name == "table-cell") {
        blocks(child, out, depth + 1);
        out.endParagraph();
      } else if (name == "tracked-changes" || name == "table-of-content-source" ||
                 name == "alphabetical-index-source" || name == "illustration-index-source" ||
                 name == "table-index-source" || name == "object-index-source" ||
                 name == "user-index-source" || name == "bibliography-source" ||
                 name == "sequence-decls" || name == "variable-decls" ||
                 name == "user-field-decls" || name == "forms" || name == "annotation" ||
                 name == "covered-table-cell" || name == "table-columns" ||
                 name == "table-column" || name == "table-header-columns" || name == "title" ||
                 name == "desc") {
        // Deleted text, index templates, declarations, comments: not text.
      } else if (name == "frame") {
        std::vector<pugi::xml_node> frames;
        findFrames(child, depth + 1, frames);
        for (const pugi::xml_node& frame : frames) {
          blocks(frame, out, depth + 1);
          out.endParagraph();
        }
      } else if (child.type() == pugi::node_element) {
        // Sections, lists and their items, tables, rows, index bodies.
        blocks(child, out, depth + 1);
      }
      if (tooDeep_) return;
    }
  }

 private:
  bool enter(int depth) {
    if (depth > maxDepth_) tooDeep_ = true;
    return !tooDeep_;
  }

  void inlines(const pugi::xml_node& parent, TextBuilder& out, int depth,
               std::vector<pugi::xml_node>& frames) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : parent.children()) {
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
        // Line breaks and tabs in the XML are white space, not breaks or tabs.
        std::string text = child.value();
        for (char& c : text) {
          if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        }
        out.append(text);
        continue;
      }
      if (child.type() != pugi::node_element) continue;
      const std::string_view name = localName(child);
      if (name == "s") {
        out.blank();
      } else if (name == "tab") {
        out.blank();
      } else if (name == "line-break") {
        out.endParagraph();
      } else if (name == "note") {
        TextBuilder& notes = attribute(child, "note-class") == "endnote" ? endnotes_ : footnotes_;
        blocks(child.child((prefix(child) + "note-body").c_str()), notes, depth + 1);
        notes.endParagraph();
      } else if (name == "frame") {
        findFrames(child, depth + 1, frames);
      } else if (name == "a" && std::string_view(child.name()).starts_with("draw:")) {
        findFrames(child, depth + 1, frames);
      } else if (name == "annotation" || name == "annotation-end" || name == "ruby-text" ||
                 name == "note-citation" || name == "change" || name == "change-start" ||
                 name == "change-end" || name == "soft-page-break" || name == "bookmark" ||
                 name == "title" || name == "desc") {
        // Comments, ruby annotations, change marks, anchors: not text.
      } else {
        // Spans, links, fields with their shown values, ruby bases, metadata.
        inlines(child, out, depth + 1, frames);
      }
      if (tooDeep_) return;
    }
  }

  static std::string prefix(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return std::string(colon == std::string_view::npos ? "" : name.substr(0, colon + 1));
  }

  // The text boxes of a frame (and of frames inside it).
  void findFrames(const pugi::xml_node& node, int depth, std::vector<pugi::xml_node>& frames) {
    if (!enter(depth)) return;
    for (const pugi::xml_node& child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      if (localName(child) == "text-box") {
        frames.push_back(child);
      } else if (localName(child) != "title" && localName(child) != "desc") {
        findFrames(child, depth + 1, frames);
      }
      if (tooDeep_) return;
    }
  }

  TextBuilder& footnotes_;
  TextBuilder& endnotes_;
  const int maxDepth_;
  bool tooDeep_ = false;
};

// The first element of `parent` with local name `local`.
pugi::xml_node childNamed(const pugi::xml_node& parent, std::string_view local) {
  for (const pugi::xml_node& child : parent.children()) {
    if (child.type() == pugi::node_element && localName(child) == local) return child;
  }
  return {};
}

}  // namespace

DocumentText readWordXml(std::string_view document, std::string_view footnotes,
                         std::string_view endnotes, const DocumentLimits& limits) {
  TextBuilder body(limits.textSize);
  pugi::xml_document xml;
  if (std::string error = parseXml(document, xml, "word/document.xml"); !error.empty()) {
    return {{}, std::move(error)};
  }
  const pugi::xml_node root = xml.document_element();
  if (localName(root) != "document") return {{}, "its main part is not a Word document's body"};
  WordWalker walker(body, limits.depth);
  walker.blocks(childNamed(root, "body"), 1);
  if (walker.tooDeep()) return {{}, tooDeepReason(limits.depth)};

  // Notes follow the body, footnotes first; separators are not notes.
  const std::pair<std::string_view, const char*> parts[] = {{footnotes, "word/footnotes.xml"},
                                                            {endnotes, "word/endnotes.xml"}};
  for (const auto& [part, name] : parts) {
    if (part.empty()) continue;
    pugi::xml_document notesXml;
    if (std::string error = parseXml(part, notesXml, name); !error.empty()) {
      return {{}, std::move(error)};
    }
    TextBuilder notes(limits.textSize);
    WordWalker notesWalker(notes, limits.depth);
    for (const pugi::xml_node& note : notesXml.document_element().children()) {
      const std::string_view type = attribute(note, "type");
      if (!type.empty() && type != "normal") continue;
      notesWalker.blocks(note, 2);
      notes.endParagraph();
      if (notesWalker.tooDeep()) return {{}, tooDeepReason(limits.depth)};
    }
    body.appendParagraphs(notes);
  }
  return finishText(body, limits.textSize);
}

DocumentText readOpenDocumentXml(std::string_view content, const DocumentLimits& limits) {
  pugi::xml_document xml;
  if (std::string error = parseXml(content, xml, "content.xml"); !error.empty()) {
    return {{}, std::move(error)};
  }
  const pugi::xml_node text = childNamed(childNamed(xml.document_element(), "body"), "text");
  if (!text) return {{}, "it is not an OpenDocument text"};
  TextBuilder body(limits.textSize);
  TextBuilder footnotes(limits.textSize);
  TextBuilder endnotes(limits.textSize);
  OpenDocumentWalker walker(footnotes, endnotes, limits.depth);
  walker.blocks(text, body, 1);
  if (walker.tooDeep()) return {{}, tooDeepReason(limits.depth)};
  body.appendParagraphs(footnotes);
  body.appendParagraphs(endnotes);
  return finishText(body, limits.textSize);
}

DocumentText readZipDocument(std::string_view bytes, const DocumentLimits& limits,
                             std::string& format) {
  ZipArchive archive;
  if (std::string error = archive.open(bytes); !error.empty()) return {{}, std::move(error)};
  if (archive.contains("word/document.xml")) {
    format = "docx";
    std::string parts[3];
    const char* names[3] = {"word/document.xml", "word/footnotes.xml", "word/endnotes.xml"};
    for (int i = 0; i < 3; ++i) {
      if (i > 0 && !archive.contains(names[i])) continue;
      if (std::string error = archive.read(names[i], limits.partSize, parts[i]); !error.empty()) {
        return {{}, std::move(error)};
      }
    }
    return readWordXml(parts[0], parts[1], parts[2], limits);
  }
  std::string mimetype;
  if (archive.contains("mimetype")) archive.read("mimetype", 256, mimetype);
  if (mimetype.starts_with("application/vnd.oasis.opendocument.text")) {
    format = "odt";
    std::string manifest;
    if (archive.contains("META-INF/manifest.xml") &&
        archive.read("META-INF/manifest.xml", limits.partSize, manifest).empty() &&
        manifest.find("encryption-data") != std::string::npos) {
      return {{}, "it is protected by a password"};
    }
    std::string content;
    if (std::string error = archive.read("content.xml", limits.partSize, content); !error.empty()) {
      return {{}, std::move(error)};
    }
    return readOpenDocumentXml(content, limits);
  }
  return {{}, "it is a zip archive, neither a Word (.docx) nor an OpenDocument text (.odt)"};
}

}  // namespace orvalis::documents
