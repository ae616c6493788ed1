// The XML reader: messages in an ndm root or alone, keywords as element
// names, and the document faults that stop it.
#include "Tle/OmmTestSupport.h"

namespace vx::testing::omm {
namespace {

// One message from keyword -> value, in the sample's layout.
std::string message(const std::string& version, const std::map<std::string, std::string>& values,
                    const std::string& extra = "") {
  std::string out = "<omm id=\"CCSDS_OMM_VERS\" version=\"" + version + "\">\n<header><CREATION_DATE/></header>\n";
  out += "<body><segment><metadata><COMMENT>a note</COMMENT>" + extra + "</metadata><data><meanElements>\n";
  for (const auto& [k, v] : values) out.append("<").append(k).append(">").append(v).append("</").append(k).append(">\n");
  return out + "</meanElements><userDefinedParameters><USER_DEFINED parameter=\"X\">1</USER_DEFINED>"
               "</userDefinedParameters></data></segment></body></omm>\n";
}

TEST(OmmXml, SampleGivesItsCsvTwin) {
  Collect got;
  ASSERT_TRUE(readOmmXml(readText(dataPath("sample_omm.xml")), got));
  ASSERT_EQ(got.records.size(), 1u);
  EXPECT_TRUE(got.bads.empty());
  const auto& r = got.records[0];
  EXPECT_EQ(r.position, 3);
  for (const auto& [k, v] : sampleCsv()) {
    ASSERT_TRUE(r.values.count(k)) << k;
    expectSame(k, r.values.at(k), v);
  }
  EXPECT_EQ(r.values.at("CCSDS_OMM_VERS"), "2.0");
  EXPECT_EQ(r.values.at("CENTER_NAME"), "EARTH");
  EXPECT_EQ(r.values.at("CREATION_DATE"), "null");  // an empty element
}

// Many messages, version 3.0, units, blanks around values, skipped parts;
// values stay whole however long the message's text grows.
TEST(OmmXml, ManyMessagesOfVersionThree) {
  std::string doc = "<?xml version=\"1.0\"?>\n<ndm>\n";
  const std::string longName(10000, 'N');
  for (int i = 1; i <= 3; ++i)
    doc += message("3.0", {{"NORAD_CAT_ID", "  79951234" + std::to_string(i) + "\n"},
                           {"OBJECT_NAME", i == 2 ? longName : "SAT " + std::to_string(i)},
                           {"EPOCH", "\t2026-07-14T21:45:20.933856Z "}},
                   "<MEAN_ELEMENT_THEORY>SGP4</MEAN_ELEMENT_THEORY>");
  doc += "<opm><EPOCH>1</EPOCH></opm></ndm>\n";
  const std::string withUnits = std::string("<omm version=\"2.0\"><MEAN_MOTION units=\"rev/day\"> 15.5 </MEAN_MOTION>") +
                                "<INCLINATION units=\"deg\">51.6</INCLINATION></omm>";
  Collect got, single;
  ASSERT_TRUE(readOmmXml(doc, got));
  ASSERT_EQ(got.records.size(), 3u);
  EXPECT_TRUE(got.bads.empty());
  for (int i = 0; i < 3; ++i) {
    const auto& v = got.records[i].values;
    EXPECT_EQ(v.at("NORAD_CAT_ID"), "79951234" + std::to_string(i + 1));
    EXPECT_EQ(v.at("EPOCH"), "2026-07-14T21:45:20.933856Z");
    EXPECT_EQ(v.at("CCSDS_OMM_VERS"), "3.0");
    EXPECT_EQ(v.at("MEAN_ELEMENT_THEORY"), "SGP4");
    EXPECT_FALSE(v.count("COMMENT"));
  }
  EXPECT_EQ(got.records[1].values.at("OBJECT_NAME"), longName);
  EXPECT_EQ(got.records[0].position, 3);
  EXPECT_EQ(got.records[1].position, 11);  // the first message's NORAD_CAT_ID holds a line end
  ASSERT_TRUE(readOmmXml(withUnits, single));
  ASSERT_EQ(single.records.size(), 1u);
  EXPECT_EQ(single.records[0].values.at("MEAN_MOTION"), "15.5");
  EXPECT_EQ(single.records[0].values.at("INCLINATION"), "51.6");
  EXPECT_EQ(single.records[0].position, 1);
}

// A bad message is told by the line of its start tag; those around it arrive.
TEST(OmmXml, BadMessagesAmongGoodOnes) {
  struct Case {
    const char* name;
    std::string bad;
    std::string why;
  };
  const Case cases[] = {
      {"element in a value", "<omm version=\"2.0\"><EPOCH>2020<b>x</b></EPOCH></omm>", "an element inside EPOCH"},
      {"version", "<omm version=\"1.0\"><EPOCH>2020</EPOCH></omm>", "OMM version 1.0 (versions 2.0 and 3.0 are read)"},
  };
  for (const auto& c : cases) {
    Collect got;
    const std::string doc = "<ndm>\n<omm><BSTAR>1</BSTAR><BSTAR>2</BSTAR></omm>\n" + c.bad + "\n<omm><BSTAR>3</BSTAR></omm></ndm>";
    EXPECT_TRUE(readOmmXml(doc, got)) << c.name;
    ASSERT_EQ(got.records.size(), 2u) << c.name;
    EXPECT_TRUE(got.records[0].duplicate);
    EXPECT_EQ(got.records[0].values.at("BSTAR"), "1");
    EXPECT_EQ(got.records[1].values.at("BSTAR"), "3");
    EXPECT_EQ(got.records[1].position, 4);
    ASSERT_EQ(got.bads.size(), 1u) << c.name;
    EXPECT_EQ(got.bads[0], std::make_pair(3, c.why)) << c.name;
  }
}

// A fault in the document: told once, messages before it arrive, none from it on.
TEST(OmmXml, DocumentFaults) {
  const std::string good = "<omm><NORAD_CAT_ID>5</NORAD_CAT_ID></omm>\n";
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE ndm [\n<!ENTITY a \"aaaaaaaaaa\">\n<!ENTITY b \"&a;&a;&a;&a;&a;\">\n]>\n"
      "<ndm><omm><OBJECT_NAME>&b;</OBJECT_NAME></omm></ndm>";
  std::string deep = "<ndm><omm>";
  for (int i = 0; i < 300; ++i) deep += "<a>";
  expectFaults({
      {"truncated", "<ndm>\n" + good + good + "<omm><NORAD_CAT_ID>7</NORAD_CAT_ID>", 2, 4, "truncated XML"},
      {"truncated in a tag", "<ndm>\n" + good + "<omm><NORAD_CA", 1, 3, "truncated XML"},
      {"entity declaration", laughs, 0, 3, "an XML entity declaration (entities are not expanded)"},
      {"undefined entity", "<ndm>\n" + good + "<omm><OBJECT_NAME>&x;</OBJECT_NAME></omm></ndm>", 1, 3,
       "not well-formed XML: undefined entity"},
      {"mismatched tag", "<ndm>\n" + good + "<omm><EPOCH>1</BSTAR></omm></ndm>", 1, 3, "not well-formed XML: mismatched tag"},
      {"other root", "<opm><EPOCH>1</EPOCH></opm>", 0, 1, "an XML document that is not OMM (its root is neither ndm nor omm)"},
      {"deep nesting", deep, 0, 1, "XML nested too deep"},
      {"not XML", "1 25544U 98067A   20194.88612269", 0, 1, "not well-formed XML: syntax error"},
      {"empty", " \n", 0, 1, "an empty XML document"},
      {"only a declaration", "<?xml version=\"1.0\"?>\n", 0, 2, "truncated XML"},
  }, [](std::string_view doc, OmmSink& sink) { return readOmmXml(doc, sink); });
}


// Values as the markup gives them: references expanded, text around a
// comment or CDATA joined, markup that looks like an end of message where
// it is none (a comment, CDATA, an attribute) left alone.
TEST(OmmXml, ReferencesPiecesAndLookalikeMarkup) {
  const std::string doc =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE ndm>\n<ndm>\n<!-- </omm> & -->\n"
      "<omm note=\"</omm> > &amp;\"><OBJECT_NAME>A&amp;B&#67;&#x44;&lt;</OBJECT_NAME>"
      "<OBJECT_ID> 12<!-- x -->34 <![CDATA[&5</omm>]]></OBJECT_ID><EPOCH><![CDATA[]]></EPOCH></omm>\n"
      "<omm><?pi </omm>?><NORAD_CAT_ID>9</NORAD_CAT_ID></omm><opm/></ndm>\n<!-- end -->\n";
  Collect got;
  ASSERT_TRUE(readOmmXml(doc, got));
  EXPECT_TRUE(got.bads.empty());
  ASSERT_EQ(got.records.size(), 2u);
  EXPECT_EQ(got.records[0].values.at("OBJECT_NAME"), "A&BCD<");
  EXPECT_EQ(got.records[0].values.at("OBJECT_ID"), "1234 &5</omm>");
  EXPECT_EQ(got.records[0].values.at("EPOCH"), "null");
  EXPECT_EQ(got.records[0].position, 5);
  EXPECT_EQ(got.records[1].values.at("NORAD_CAT_ID"), "9");
  EXPECT_EQ(got.records[1].position, 6);
  Collect empty;
  EXPECT_TRUE(readOmmXml("<ndm/>\n", empty));
  EXPECT_TRUE(empty.records.empty() && empty.bads.empty());
}

// A document of several chunks: every message arrives once with its line,
// whatever falls on a chunk's edge; a fault in a later chunk stops there.
TEST(OmmXml, LongDocumentsReadInChunks) {
  constexpr int kCount = 30000;  // about 6 MB
  std::string doc = "<ndm>\n";
  for (int i = 0; i < kCount; ++i)
    doc += "<omm a=\"</omm>\"><!-- </omm> -->\n<NORAD_CAT_ID>" + std::to_string(i) +
           "</NORAD_CAT_ID><OBJECT_NAME><![CDATA[</omm>]]>" + std::string(150, 'x') + "</OBJECT_NAME></omm>\n";
  Collect got;
  ASSERT_TRUE(readOmmXml(doc + "</ndm>", got));
  EXPECT_TRUE(got.bads.empty());
  ASSERT_EQ(got.records.size(), size_t{kCount});
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(got.records[i].values.at("NORAD_CAT_ID"), std::to_string(i));
    ASSERT_EQ(got.records[i].position, 2 + 2 * i);
  }
  expectFaults({
      {"undefined entity late", doc + "<omm><EPOCH>&x;</EPOCH></omm></ndm>", kCount, 2 + 2 * kCount,
       "not well-formed XML: undefined entity"},
      {"truncated late", doc + "<omm><EPOCH>1</EPOCH>", kCount, 2 + 2 * kCount, "truncated XML"},
      {"mismatched late", doc + "<omm><EPOCH>1</BSTAR></omm></ndm>", kCount, 2 + 2 * kCount,
       "not well-formed XML: mismatched tag"},
  }, [](std::string_view d, OmmSink& sink) { return readOmmXml(d, sink); });
}

// Faults the tree parser would let through, and the end of the root.
TEST(OmmXml, FaultsAroundTheParser) {
  const std::string good = "<omm><NORAD_CAT_ID>5</NORAD_CAT_ID></omm>\n";
  expectFaults({
      {"bare ampersand", "<ndm>\n" + good + "<omm><OBJECT_NAME>A & B</OBJECT_NAME></omm></ndm>", 1, 3,
       "not well-formed XML: not well-formed (invalid token)"},
      {"entity in an attribute", "<ndm>\n" + good + "<omm version=\"&v;\"></omm></ndm>", 1, 3,
       "not well-formed XML: undefined entity"},
      {"NUL byte", "<ndm>\n" + good + "<omm><EPOCH>1" + std::string(1, '\0') + "</EPOCH></omm></ndm>", 1, 3,
       "not well-formed XML: not well-formed (invalid token)"},
      {"junk after the root", "<ndm>\n" + good + "</ndm>\nx", 1, 4, "not well-formed XML: junk after document element"},
      {"junk after a single omm", good + "<omm></omm>", 1, 2, "not well-formed XML: junk after document element"},
      {"other end of root", "<ndm>\n" + good + "</ndmx>", 1, 3, "not well-formed XML: mismatched tag"},
      {"root never closed", "<ndm>\n" + good, 1, 3, "truncated XML"},
      {"two roots", "<ndm>\n" + good + "</ndm>\n<ndm>" + good + "</ndm>", 1, 4,
       "not well-formed XML: junk after document element"},
      {"end of root in a comment after it", "<ndm>\n" + good + "</ndm>\n<!-- </ndm> -->x", 1, 4,
       "not well-formed XML: junk after document element"},
      {"message too long", "<ndm>\n" + good + "<omm><OBJECT_NAME>" + std::string((size_t{64} << 20) + 1, 'x'), 1, 3,
       "an XML element longer than 64 MB"},
      {"document type inside the root", "<ndm>\n" + good + "<!DOCTYPE omm>" + good + "</ndm>", 1, 3,
       "not well-formed XML: not well-formed (invalid token)"},
      {"parameter entity", "<!DOCTYPE ndm [\n<!-- <!ENTITY -->\n<!ENTITY % p \"x\">\n]>\n<ndm/>", 0, 3,
       "an XML entity declaration (entities are not expanded)"},
  }, [](std::string_view doc, OmmSink& sink) { return readOmmXml(doc, sink); });
}

// The nesting limit counts the root: 256 levels read, 257 do not, whether
// the chunk is parsed at once or scanned first (a reference makes it so).
TEST(OmmXml, NestingLimitOnBothRoads) {
  for (const std::string ref : {"", "&amp;"}) {
    for (const int levels : {253, 254}) {  // below ndm, omm and COMMENT
      std::string doc = "<ndm>\n<omm><NORAD_CAT_ID>1</NORAD_CAT_ID></omm>\n<omm><COMMENT>" + ref;
      for (int i = 0; i < levels; ++i) doc += "<a>";
      for (int i = 0; i < levels; ++i) doc += "</a>";
      doc += "</COMMENT></omm>\n<omm><NORAD_CAT_ID>3</NORAD_CAT_ID></omm></ndm>";
      Collect got;
      const bool ok = readOmmXml(doc, got);
      const std::string name = ref + std::to_string(levels);
      EXPECT_EQ(ok, levels == 253) << name;
      EXPECT_EQ(got.records.size(), levels == 253 ? 3u : 1u) << name;
      const std::vector<std::pair<int32_t, std::string>> bads{{3, "XML nested too deep"}};
      EXPECT_EQ(got.bads, levels == 253 ? decltype(bads){} : bads) << name;
    }
  }
}

}  // namespace
}  // namespace vx::testing::omm
