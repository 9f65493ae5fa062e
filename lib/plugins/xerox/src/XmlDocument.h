#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xerox {

// One element of a parsed document: its name as written (with any prefix), the character data
// directly inside it, and its child elements. Attributes are read past and not kept: the
// template service's answers carry their data in elements.
struct XmlElement {
  std::string name;
  std::string text;
  std::vector<XmlElement> children;

  // The name without its namespace prefix.
  std::string_view LocalName() const;
  // The first child with this local name; nullptr when there is none.
  const XmlElement* Child(std::string_view localName) const;
};

// The limits that keep a hostile document from costing more than a small answer does.
struct XmlLimits {
  size_t maxBytes = 1 << 20;
  size_t maxDepth = 32;
  size_t maxElements = 10000;
};

// A small, strict reader for the answers of a device's web service: UTF-8 only, the five
// predefined entities and character references, CDATA, comments and processing instructions.
// A document type declaration is refused, so no entity can expand and nothing is fetched.
// Returns the root element, or nullopt with `error` saying what is wrong and where.
std::optional<XmlElement> ParseXml(std::string_view document, std::string& error, const XmlLimits& limits = {});

// `text` with the characters XML gives a meaning (& < > " ') written as entities.
std::string EscapeXml(std::string_view text);

}  // namespace xerox
