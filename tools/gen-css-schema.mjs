// Generates schemas/css.xml, the style-sheet schema, from @webref/css: the
// CSS definitions extracted from the CSS standards by the W3C's Webref
// project (MIT licence). Run through `make css-schema`, which installs the
// version pinned in tools/package.json; the same package gives the same file.
//
//   node tools/gen-css-schema.mjs <@webref/css folder> <css.xml> [<@vscode/web-custom-data folder>]
//
// Every property of the CSS standards, with the keywords of its grammar, the value types our editors fill (length..., color...), the
// functions it takes, the values of the properties a shorthand names, and
// the CSS-wide keywords with var(), calc(), min(), max(), clamp(), env().
// Legacy aliases (word-wrap, grid-gap, -webkit-transform) take their
// standard name's values; they and the vendor-prefixed properties the
// standards describe (-webkit-line-clamp) are marked vendor="true" when
// prefixed (offered once "-" is typed). relevance="N" is how often pages use
// the property, from VS Code's custom data (50 where it has no figure).
import { readFileSync, writeFileSync } from "node:fs";

const [, , packageDir, output, customDataDir] = process.argv;
const data = JSON.parse(readFileSync(`${packageDir}/css.json`, "utf8"));
const version = JSON.parse(readFileSync(`${packageDir}/package.json`, "utf8")).version;
// One line per property for hover and item documentation, from VS Code's
// custom data (MIT licence): its first sentence, whitespace collapsed.
const described = new Map();
const relevance = new Map();
let customVersion = "";
if (customDataDir) {
  customVersion = JSON.parse(readFileSync(`${customDataDir}/package.json`, "utf8")).version;
  const custom = JSON.parse(readFileSync(`${customDataDir}/data/browsers.css-data.json`, "utf8"));
  for (const p of custom.properties) {
    if (typeof p.relevance === "number") relevance.set(p.name, p.relevance);
    const text = typeof p.description === "string" ? p.description : p.description?.value ?? "";
    const line = text.replace(/\s+/g, " ").trim();
    const end = line.search(/\.(\s|$)/);
    if (line) described.set(p.name, (end > 0 ? line.slice(0, end + 1) : line).slice(0, 240));
  }
}
const types = new Map(data.types.map((t) => [t.name, t]));
// The predefined counter styles, as VS Code's data lists them for list-style-type.
const counterStyles = [];
if (customDataDir) {
  const custom = JSON.parse(readFileSync(`${customDataDir}/data/browsers.css-data.json`, "utf8"));
  const listStyle = custom.properties.find((p) => p.name === "list-style-type");
  for (const v of listStyle?.values ?? []) if (/^[a-z-]+$/.test(v.name) && v.name !== "none") counterStyles.push(v.name);
}

// Grammar types our schema has a type of its own for (the editors' types).
const own = {
  length: ["length"], percentage: ["percentage"], "length-percentage": ["length", "percentage"],
  angle: ["angle"], "angle-percentage": ["angle", "percentage"], time: ["time"],
  "time-percentage": ["time", "percentage"], frequency: ["frequency"], resolution: ["resolution"],
  flex: ["fraction"], color: ["color"], url: ["uri"], image: ["uri", "gradient"], integer: ["integer"],
  number: ["number"], string: ["string"], "custom-ident": ["identifier"], "dashed-ident": ["identifier"],
  "family-name": ["family-name"], "font-family-name": ["family-name"], "generic-family": ["generic-family"],
  "generic-font-family": ["generic-family"], gradient: ["gradient"],
  "easing-function": ["easing-function"], "transform-function": ["transform-function"],
  "filter-function": ["filter-function"], "blend-mode": ["blend-mode"], "basic-shape": ["basic-shape"],
};
const properties = data.properties.filter((p) => !p.legacyAliasOf && !p.name.startsWith("-") && p.syntax);
const propertyNames = new Set(properties.map((p) => p.name));
const standard = new Map(properties.map((p) => [p.name, p]));
// Names pages still write: an alias has its standard property's grammar.
const aliases = data.properties
  .filter((p) => (p.legacyAliasOf || p.name.startsWith("-")) && !propertyNames.has(p.name))
  .map((p) => {
    const target = p.legacyAliasOf ? standard.get(p.legacyAliasOf) : null;
    return target ? { ...target, name: p.name, aliasOf: target.name } : p;
  })
  .filter((p) => p.syntax);

// The values a grammar offers, in the order written: keywords, functions,
// our types, and the properties a shorthand names. Types of the
// standards are opened up to three levels deep.
function valuesOf(syntax, depth = 0, seen = new Set(), out = new Map()) {
  // What a function takes is no value of its own: generic(kai) offers
  // generic(), never a bare kai.
  for (let prev = ""; prev !== syntax; ) {
    prev = syntax;
    syntax = syntax.replace(/([a-zA-Z-]+)\(([^()]*)\)/g, "$1()");
  }
  // A keyword stands alone: "0deg" is a number, not the word "deg".
  const token = /<'([^']+)'>|<([a-zA-Z0-9-]+(?:\(\))?)(?:\s*\[[^\]]*\])?>|(?<![0-9A-Za-z.-])([a-zA-Z][a-zA-Z0-9-]*)(\()?/g;
  for (let m; (m = token.exec(syntax)); ) {
    if (m[1]) {
      if (propertyNames.has(m[1])) out.set(`type:${m[1]}`, { type: m[1], property: true });
    } else if (m[2]) {
      const name = m[2];
      if (name.endsWith("()")) {
        out.set(`name:${name}`, { name });
      } else if (name === "counter-style" && counterStyles.length) {
        // The predefined counter styles (disc, decimal, lower-roman...): the
        // grammar says only <custom-ident>.
        for (const n of counterStyles) out.set(`name:${n}`, { name: n });
        out.set("name:symbols()", { name: "symbols()" });
      } else if (own[name]) {
        for (const t of own[name]) out.set(`type:${t}`, { type: t });
      } else if (depth < 3 && !seen.has(name) && types.get(name)?.syntax) {
        seen.add(name);
        valuesOf(types.get(name).syntax, depth + 1, seen, out);
      }
    } else if (m[3]) {
      const name = m[4] ? `${m[3]}()` : m[3];
      out.set(`name:${name}`, { name });
    }
  }
  return out;
}

// Where the custom data says nothing, the property's definition table does:
// its grammar, initial value and what it applies to, on one line.
function definitionLine(p) {
  const parts = [`Value: ${p.syntax.replace(/\s+/g, " ")}.`];
  if (p.initial) parts.push(`Initial: ${p.initial.replace(/\s+/g, " ")}.`);
  // Its first sentence: later ones speak of the standard's own future.
  if (p.appliesTo) parts.push(`Applies to ${p.appliesTo.replace(/\s+/g, " ").split(/\.\s/)[0].replace(/\.$/, "")}.`);
  const line = parts.join(" ");
  return line.length > 240 ? `${line.slice(0, 239)}\u2026` : line;
}

// A type whose values a list shows before the others (the page's families
// end in one of these).
const first = { "font-family": "generic-family" };

// Values the grammar writes as numbers that every page still writes as words.
const supplement = { "font-weight": ["100", "200", "300", "400", "500", "600", "700", "800", "900"] };

const esc = (s) => s.replace(/&/g, "&amp;").replace(/"/g, "&quot;").replace(/</g, "&lt;");
const lines = [];
lines.push('<?xml version="1.0" encoding="utf-8"?>');
lines.push(`<!-- Generated by tools/gen-css-schema.mjs from @webref/css ${version} (MIT licence, the W3C's Webref
     project: CSS definitions extracted from the CSS standards) and the property descriptions of
     @vscode/web-custom-data ${customVersion} (MIT licence, Microsoft). Do not edit: run make css-schema.
     A value is a keyword (name) or a type; an editable type shows as "type..." and opens its editor;
     a type named after a property brings that property's values (shorthands); first="true": the
     type's values come first in the list; relevance: how often pages use the property (VS Code's
     figure, 50 where it has none); vendor="true": a prefixed name, listed once "-" is typed.
     A description the custom data lacks is the property's
     definition line (value, initial value, what it applies to). <descriptors at="font-face">: the
     descriptors of an at-rule's block, in the format of properties. <at-rule within="page">: an at-rule
     of that at-rule's block ("rule": of a style rule's). <media-feature>, <container-feature>: the
     features of @media and @container queries, with the keywords they take. -->`);
lines.push("<css>");
// calc() and its kin stand where a number, length, angle or time does.
const numericTypes = new Set(["length", "percentage", "angle", "time", "frequency", "resolution", "fraction",
  "integer", "number"]);
const numeric = (p) => [...valuesOf(p.syntax).values()].some((v) =>
  v.type && (numericTypes.has(v.type) || (v.property && standard.get(v.type) && numeric(standard.get(v.type)))));
const valueLines = (p, indent) => {
  for (const v of supplement[p.name] ?? []) lines.push(`${indent}<value name="${v}"/>`);
  for (const v of valuesOf(p.syntax).values()) {
    if (v.property && v.type === p.name) continue;
    const lead = v.type && first[p.name] === v.type ? ' first="true"' : "";
    lines.push(v.type ? `${indent}<value type="${esc(v.type)}"${lead}/>` : `${indent}<value name="${esc(v.name)}"/>`);
  }
};
for (const p of [...properties, ...aliases].sort((a, b) => a.name.localeCompare(b.name))) {
  const about = described.get(p.name) ?? described.get(p.aliasOf) ?? definitionLine(p);
  const vendor = p.name.startsWith("-") ? ' vendor="true"' : "";
  lines.push(`  <property name="${esc(p.name)}" inherited="${p.inherited === "yes"}"` +
    ` relevance="${relevance.get(p.name) ?? 50}"${vendor}` + (about ? ` description="${esc(about)}">` : ">"));
  valueLines(p, "    ");
  lines.push('    <value type="global"/>');
  if (numeric(p)) lines.push('    <value type="math"/>');
  lines.push("  </property>");
}
// The descriptors of the at-rules whose blocks hold declarations
// (@font-face's font-display, @counter-style's system): offered in those
// blocks only, without the CSS-wide keywords, which they do not take.
for (const at of ["@font-face", "@counter-style", "@page", "@property", "@font-palette-values",
  "@view-transition", "@color-profile"]) {
  const rule = data.atrules.find((a) => a.name === at);
  const descriptors = (rule?.descriptors ?? []).filter((d) => d.syntax && !d.name.startsWith("-"));
  if (!descriptors.length) continue;
  lines.push(`  <descriptors at="${at.slice(1)}">`);
  for (const d of [...descriptors].sort((a, b) => a.name.localeCompare(b.name))) {
    const about = definitionLine(d);
    lines.push(`    <property name="${esc(d.name)}" description="${esc(about)}">`);
    valueLines(d, "      ");
    lines.push("    </property>");
  }
  lines.push("  </descriptors>");
}

const list = (name, editable, values) => {
  lines.push(`  <type name="${name}"${editable ? ' editable="true"' : ""}>`);
  for (const v of values) lines.push(`    ${v}`);
  lines.push("  </type>");
};
const units = (...u) => u.map((x) => `<value type="${x}"/>`);
const names = (...n) => n.map((x) => `<value name="${esc(x)}"/>`);
const keywordsOf = (type) => [...valuesOf(types.get(type).syntax).values()].filter((v) => v.name).map((v) => v.name);

list("length", true, units("px", "em", "rem", "ex", "rex", "cap", "rcap", "ch", "rch", "ic", "ric", "lh", "rlh",
  "vw", "vh", "vi", "vb", "vmin", "vmax", "svw", "svh", "svi", "svb", "svmin", "svmax", "lvw", "lvh", "lvi", "lvb",
  "lvmin", "lvmax", "dvw", "dvh", "dvi", "dvb", "dvmin", "dvmax", "cqw", "cqh", "cqi", "cqb", "cqmin", "cqmax",
  "cm", "mm", "Q", "in", "pt", "pc"));
list("percentage", true, []);
list("angle", true, units("deg", "grad", "rad", "turn"));
list("time", true, units("s", "ms"));
list("frequency", true, units("Hz", "kHz"));
list("resolution", true, units("dpi", "dpcm", "dppx", "x"));
list("fraction", true, units("fr"));
list("color", true, [...names(...keywordsOf("named-color"), "transparent", "currentColor"), '<value ref="color-function"/>']);
list("color-function", false, names("rgb()", "rgba()", "hsl()", "hsla()", "hwb()", "lab()", "lch()", "oklab()",
  "oklch()", "color()", "color-mix()", "light-dark()"));
list("uri", true, []);
list("family-name", false, ['<value type="font"/>']);
list("generic-family", false, names(...keywordsOf("generic-font-family")));
for (const t of ["integer", "number", "string", "identifier"]) list(t, false, []);
const functions = (type) => names(...keywordsOf(type));
list("gradient", false, functions("gradient"));
list("easing-function", false, functions("easing-function"));
list("transform-function", false, functions("transform-function"));
list("filter-function", false, functions("filter-function"));
list("blend-mode", false, functions("blend-mode"));
list("basic-shape", false, functions("basic-shape"));
list("global", false, names("inherit", "initial", "unset", "revert", "revert-layer", "var()", "env()"));
list("math", false, names("calc()", "min()", "max()", "clamp()"));
// The names the style-sheet lists offer outside declarations. At-rules that
// stand inside another's block (@top-left in @page, @swash in
// @font-feature-values, @apply and @contents in a rule) are listed there.
const bare = (n) => !n.replace(/^[@:]+/, "").startsWith("-");
const sorted = (a) => [...new Set(a)].sort();
const pageMargin = /^@(top|bottom|left|right)-/;
const within = (a) => pageMargin.test(a.name) ? "page" : a.for ? String([].concat(a.for)[0]).replace(/^@/, "") :
  ["@apply", "@contents"].includes(a.name) ? "rule" : "";
for (const a of [...data.atrules].filter((a) => bare(a.name)).sort((x, y) => x.name.localeCompare(y.name))) {
  const w = within(a);
  lines.push(`  <at-rule name="${esc(a.name.slice(1))}"${w ? ` within="${esc(w)}"` : ""}/>`);
}
for (const n of sorted(data.selectors.map((s) => s.name).filter((n) => /^:[^:]/.test(n) && bare(n))))
  lines.push(`  <pseudo-class name="${esc(n.slice(1))}"/>`);
for (const n of sorted(data.selectors.map((s) => s.name).filter((n) => n.startsWith("::") && bare(n))))
  lines.push(`  <pseudo-element name="${esc(n.slice(2))}"/>`);
// Media and container features with the keywords they take
// (prefers-reduced-motion: reduce); a range feature also as min-/max-.
const featureLines = (element, at, words) => {
  const list = data.atrules.find((a) => a.name === at)?.descriptors ?? [];
  const rows = list.filter((f) => bare(f.name)).flatMap((f) => {
    const keywords = [...valuesOf(f.syntax ?? "").values()].filter((v) => v.name && !v.name.endsWith("()"));
    const range = f.type === "range" && element === "media-feature";
    return [[f.name, keywords], ...(range ? [[`min-${f.name}`, []], [`max-${f.name}`, []]] : [])];
  });
  for (const w of words) rows.push([w, []]);
  for (const [n, keywords] of rows.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0))) {
    if (!keywords.length) {
      lines.push(`  <${element} name="${esc(n)}"/>`);
      continue;
    }
    lines.push(`  <${element} name="${esc(n)}">`);
    for (const k of keywords) lines.push(`    <value name="${esc(k.name)}"/>`);
    lines.push(`  </${element}>`);
  }
};
featureLines("media-feature", "@media", ["all", "print", "screen", "and", "not", "only", "or"]);
featureLines("container-feature", "@container", ["and", "not", "or", "style()", "scroll-state()"]);
lines.push("</css>");
writeFileSync(output, lines.join("\n") + "\n");
console.log(`css.xml: ${properties.length} properties and ${aliases.length} aliases from @webref/css ${version}`);
