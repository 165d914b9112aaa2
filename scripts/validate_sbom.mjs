// Validates an SBOM against the CycloneDX 1.5 JSON schema (strict), offline: the schemas are the
// ones that @cyclonedx/cyclonedx-library ships, pinned in web/package-lock.json.
// Usage: node scripts/validate_sbom.mjs NODE_MODULES SBOM.cdx.json
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';

const [nodeModules, sbomFile] = process.argv.slice(2);
const CycloneDX = createRequire(join(resolve(nodeModules), 'x.js'))('@cyclonedx/cyclonedx-library');
const validator = new CycloneDX.Validation.JsonStrictValidator('1.5');
const errors = await validator.validate(readFileSync(sbomFile, 'utf8'));
if (errors) {
    console.error(`${sbomFile} is not a valid CycloneDX 1.5 SBOM:`, JSON.stringify(errors, null, 2));
    process.exit(1);
}
console.log(`${sbomFile}: valid CycloneDX 1.5 (strict schema)`);
